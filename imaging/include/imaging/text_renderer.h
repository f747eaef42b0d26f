// Drawing UTF-8 text onto a picture with a scalable font (FreeType).
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/image.h"

namespace imaging {

struct TextColour {
    uint8_t red, green, blue;
};

// A font file is read whole into memory; larger files are refused.
inline constexpr std::size_t kLargestFontFile = 32 * 1024 * 1024;

class TextRenderer {
public:
    // The first of `candidates` that FreeType can open, or nothing (and `note` says why). Only
    // regular files up to kLargestFontFile are tried; `note` names the candidates refused as
    // something else (a FIFO, a device, too large), also when a later one is used.
    static std::unique_ptr<TextRenderer> Load(const std::vector<std::filesystem::path>& candidates, std::string& note);
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    const std::filesystem::path& fontFile() const { return fontFile_; }
    // Width in pixels of `text` at the given pixel height.
    int Measure(std::string_view text, int pixelHeight);
    // Draws `text` with its baseline at `baseline`, starting at `left`, clipped to the picture.
    void Draw(Image& image, int left, int baseline, std::string_view text, int pixelHeight, TextColour colour);
    // The longest start of `text` (whole characters) that fits in `width` pixels, with an ellipsis
    // appended when it had to be shortened; empty when not even the ellipsis fits. Costs one
    // glyph measurement per character kept, whatever the text's length.
    std::string Fit(std::string_view text, int pixelHeight, int width);

private:
    // Horizontal advance of one character in 1/64 pixel at the size last set; 0 when the font
    // cannot load it.
    long Advance(char32_t code);
    struct FreeTypeState;
    explicit TextRenderer(std::unique_ptr<FreeTypeState> state, std::filesystem::path fontFile);
    std::unique_ptr<FreeTypeState> state_;
    std::filesystem::path fontFile_;
};

// Fonts tried when the settings name none (or the named one cannot be opened).
std::vector<std::filesystem::path> DefaultFontFiles();

// Unicode code points of UTF-8 text; malformed bytes become U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view text);

}  // namespace imaging
