#include "scene.h"

#include <array>
#include <fstream>
#include <stdexcept>

namespace dc2x {

namespace {

using Rgb = std::array<uint8_t, 3>;

constexpr std::array<Rgb, 8> kBars{{
    {235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
    {235, 16, 235}, {235, 16, 16}, {16, 16, 235}, {16, 16, 16},
}};

// Seven-segment digits: bit 0 top, 1 upper right, 2 lower right, 3 bottom, 4 lower left,
// 5 upper left, 6 middle.
constexpr std::array<uint8_t, 10> kSegments{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

class Canvas {
public:
    Canvas(int width, int height) { image_ = {width, height, std::vector<uint8_t>(std::size_t(width) * height * 3)}; }

    void Fill(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = std::max(0, y0); y < std::min(image_.height, y1); ++y) {
            for (int x = std::max(0, x0); x < std::min(image_.width, x1); ++x) {
                std::copy(c.begin(), c.end(), image_.rgb.begin() + (std::ptrdiff_t(y) * image_.width + x) * 3);
            }
        }
    }

    // A digit in a box of w x h at (x, y), segments t thick.
    void Digit(int value, int x, int y, int w, int h, Rgb c) {
        const int t = std::max(1, w / 5);
        const int mid = y + h / 2;
        const uint8_t s = kSegments[static_cast<std::size_t>(value)];
        if (s & 0x01) Fill(x, y, x + w, y + t, c);
        if (s & 0x02) Fill(x + w - t, y, x + w, mid, c);
        if (s & 0x04) Fill(x + w - t, mid, x + w, y + h, c);
        if (s & 0x08) Fill(x, y + h - t, x + w, y + h, c);
        if (s & 0x10) Fill(x, mid, x + t, y + h, c);
        if (s & 0x20) Fill(x, y, x + t, mid, c);
        if (s & 0x40) Fill(x, mid - t / 2, x + w, mid + t - t / 2, c);
    }

    rawformat::RgbImage Take() { return std::move(image_); }

private:
    rawformat::RgbImage image_;
};

}  // namespace

rawformat::RgbImage ClockScene(std::time_t when, int width, int height) {
    Canvas canvas(width, height);
    const int barsBottom = height * 3 / 5;
    for (std::size_t i = 0; i < kBars.size(); ++i) {
        canvas.Fill(static_cast<int>(i) * width / 8, 0, static_cast<int>(i + 1) * width / 8, barsBottom, kBars[i]);
    }
    canvas.Fill(0, barsBottom, width, height, {40, 48, 64});

    std::tm local{};
    ::localtime_r(&when, &local);
    const int digits[6] = {local.tm_hour / 10, local.tm_hour % 10, local.tm_min / 10,
                           local.tm_min % 10,  local.tm_sec / 10,  local.tm_sec % 10};
    const int cell = width / 8;
    const int digitTop = barsBottom + (height - barsBottom) / 8;
    const int digitHeight = (height - barsBottom) * 3 / 4;
    for (int i = 0; i < 6; ++i) {
        const int x = cell / 2 + i * cell + (i / 2) * cell / 2;
        canvas.Digit(digits[i], x, digitTop, cell * 3 / 4, digitHeight, {250, 250, 250});
    }

    const int side = height / 8;
    const int travel = width - side;
    const int x = static_cast<int>(local.tm_sec * travel / 59);
    canvas.Fill(x, barsBottom - side / 2, x + side, barsBottom + side / 2, {255, 140, 0});
    return canvas.Take();
}

namespace {

// Next header token of a PPM file, skipping white space and comments.
std::string Token(std::istream& in) {
    std::string token;
    char c = 0;
    while (in.get(c)) {
        if (c == '#') {
            std::string ignored;
            std::getline(in, ignored);
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (!token.empty()) return token;
        } else {
            token += c;
        }
    }
    return token;
}

int Positive(const std::string& token, int max) {
    std::size_t used = 0;
    const int value = token.empty() ? 0 : std::stoi(token, &used);
    if (used != token.size() || value <= 0 || value > max) throw std::runtime_error("bad PPM header");
    return value;
}

}  // namespace

rawformat::RgbImage ReadPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    if (Token(in) != "P6") throw std::runtime_error(path + ": not a binary PPM (P6)");
    rawformat::RgbImage image;
    image.width = Positive(Token(in), 10000);
    image.height = Positive(Token(in), 10000);
    const int maxValue = Positive(Token(in), 255);
    image.rgb.resize(std::size_t(image.width) * image.height * 3);
    if (!in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()))) {
        throw std::runtime_error(path + ": picture data too short");
    }
    if (maxValue != 255) {
        for (uint8_t& v : image.rgb) v = static_cast<uint8_t>(std::min(255, v * 255 / maxValue));
    }
    return image;
}

rawformat::RgbImage Shrink(const rawformat::RgbImage& scene, int width, int height) {
    rawformat::RgbImage small{width, height, std::vector<uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = scene.pixel(x * scene.width / width, y * scene.height / height);
            std::copy(p, p + 3, small.rgb.begin() + (std::ptrdiff_t(y) * width + x) * 3);
        }
    }
    return small;
}

}  // namespace dc2x
