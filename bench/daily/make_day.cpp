// daily_make_day WEB DAY COUNT WIDTH HEIGHT: writes COUNT archive pictures of DAY (one a minute
// from midnight) into WEB/archive and lists them by day as the converter does. The scene moves
// through the day (a sky that brightens and darkens, a sun crossing it) and carries sensor-like
// noise, so that the pictures compress like real ones, not like flat test cards.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "archive/archive.h"
#include "archive/day_lists.h"
#include "imaging/jpeg_io.h"
#include "archive/stamp.h"
#include "web_directory.h"

namespace {

imaging::Image Scene(int width, int height, int minute, std::mt19937& random) {
    imaging::Image image = imaging::BlankImage(width, height);
    const double daylight = std::max(0.05, std::sin(M_PI * minute / 1440.0));
    const double sunX = width * minute / 1440.0;
    const double sunY = height * (0.9 - 0.7 * daylight);
    std::normal_distribution<double> noise(0.0, 6.0);
    for (int y = 0; y < height; ++y) {
        const bool ground = y > height * 2 / 3;
        for (int x = 0; x < width; ++x) {
            const double sun = std::exp(-(std::pow(x - sunX, 2) + std::pow(y - sunY, 2)) / (2.0 * std::pow(height / 20.0, 2)));
            const double texture = ground ? 40 * std::sin(x * 0.05) * std::cos(y * 0.07) : 0;
            const double base[3] = {ground ? 70.0 : 90.0, ground ? 110.0 : 150.0, ground ? 50.0 : 230.0};
            uint8_t* p = imaging::PixelAt(image, x, y);
            for (int c = 0; c < 3; ++c) {
                const double value = base[c] * daylight + texture * daylight + 255 * sun + noise(random);
                p[c] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
            }
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 || !archive::Stamp::Parse(std::string(argv[2]) + "000000")) {
        std::cerr << "usage: daily_make_day WEB DAY COUNT WIDTH HEIGHT\n";
        return 2;
    }
    const std::filesystem::path archivePath = std::filesystem::path(argv[1]) / archive::kArchiveDirectory;
    const int count = std::atoi(argv[3]);
    const int width = std::atoi(argv[4]);
    const int height = std::atoi(argv[5]);
    std::filesystem::create_directories(archivePath);
    const archive::DayLists lists(archivePath);
    const tessel::WebDirectory archiveFolder = tessel::WebDirectory::Open(archivePath);
    std::mt19937 random(1);
    for (int n = 0; n < count; ++n) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%s%02d%02d%02d", argv[2], n / 60 % 24, n % 60, n / 1440 % 60);
        archiveFolder.ReplaceAtomically(std::string(stamp) + ".jpg",
                                        imaging::EncodeJpeg(Scene(width, height, n % 1440, random), 85));
        lists.Add(*archive::Stamp::Parse(stamp));
    }
    return 0;
}
