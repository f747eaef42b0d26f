#include "imaging/text_renderer.h"

#include <algorithm>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "web_directory.h"

namespace imaging {

struct TextRenderer::FreeTypeState {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string fontBytes;  // the face's file, which FreeType reads from memory while the face lives
    ~FreeTypeState() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of a UTF-8 sequence from its first byte, 0 when it cannot start one.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

struct CodePoint {
    char32_t code;
    std::size_t bytes;  // length of its UTF-8 sequence; 1 for a malformed byte
};

// The character that starts at byte `at` of `text`; a malformed byte is U+FFFD on its own.
CodePoint NextCodePoint(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = SequenceLength(lead);
    bool valid = length > 0 && at + length <= text.size();
    char32_t code = valid ? (length == 1 ? lead : lead & (0x7F >> length)) : 0;
    for (int k = 1; valid && k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        valid = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (!valid || overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {kReplacement, 1};
    return {code, static_cast<std::size_t>(length)};
}

constexpr char32_t kEllipsisCode = 0x2026;
constexpr std::string_view kEllipsis = "\u2026";

}  // namespace

std::vector<char32_t> DecodeUtf8(std::string_view text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const CodePoint c = NextCodePoint(text, i);
        out.push_back(c.code);
        i += c.bytes;
    }
    return out;
}

std::vector<std::filesystem::path> DefaultFontFiles() {
    return {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/TTF/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    };
}

std::unique_ptr<TextRenderer> TextRenderer::Load(const std::vector<std::filesystem::path>& candidates, std::string& note) {
    auto state = std::make_unique<FreeTypeState>();
    if (FT_Init_FreeType(&state->library) != 0) {
        note = "the font library did not start";
        return nullptr;
    }
    std::string refusals;
    for (const auto& file : candidates) {
        // Read here, not by FreeType: a FIFO or device named as the font must not block or
        // exhaust the run.
        tessel::FileRead read = tessel::ReadRegularFile(file, kLargestFontFile);
        if (!read.ok) {
            if (!read.missing) refusals += (refusals.empty() ? "" : "; ") + read.error;
            continue;
        }
        state->fontBytes = std::move(read.bytes);
        if (FT_New_Memory_Face(state->library, reinterpret_cast<const FT_Byte*>(state->fontBytes.data()),
                               static_cast<FT_Long>(state->fontBytes.size()), 0, &state->face) == 0) {
            note = refusals;
            return std::unique_ptr<TextRenderer>(new TextRenderer(std::move(state), file));
        }
        state->face = nullptr;
    }
    note = "no usable font among " + std::to_string(candidates.size()) + " candidates" +
           (refusals.empty() ? "" : ": " + refusals);
    return nullptr;
}

TextRenderer::TextRenderer(std::unique_ptr<FreeTypeState> state, std::filesystem::path fontFile)
    : state_(std::move(state)), fontFile_(std::move(fontFile)) {}

TextRenderer::~TextRenderer() = default;

long TextRenderer::Advance(char32_t code) {
    return FT_Load_Char(state_->face, code, FT_LOAD_DEFAULT) == 0 ? state_->face->glyph->advance.x : 0;
}

int TextRenderer::Measure(std::string_view text, int pixelHeight) {
    FT_Set_Pixel_Sizes(state_->face, 0, static_cast<FT_UInt>(pixelHeight));
    long advance = 0;
    for (char32_t code : DecodeUtf8(text)) advance += Advance(code);
    return static_cast<int>(advance >> 6);
}

// One pass over the text, each glyph measured once. Advances never go back, so the widths of
// the text's starts only grow: the walk remembers the last start that still leaves room for
// the ellipsis and stops at the first glyph that overruns the width. A caption of any length
// costs no more than the glyphs that fit on the strip.
std::string TextRenderer::Fit(std::string_view text, int pixelHeight, int width) {
    FT_Set_Pixel_Sizes(state_->face, 0, static_cast<FT_UInt>(pixelHeight));
    const long ellipsis = Advance(kEllipsisCode);
    long used = 0;
    std::size_t keptBytes = 0;  // the longest start that fits with the ellipsis after it
    const bool ellipsisFits = ellipsis >> 6 <= width;
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = NextCodePoint(text, at);
        used += Advance(c.code);
        if (used >> 6 > width) {
            if (!ellipsisFits) return {};
            return std::string(text.substr(0, keptBytes)).append(kEllipsis);
        }
        at += c.bytes;
        if ((used + ellipsis) >> 6 <= width) keptBytes = at;
    }
    return std::string(text);
}

void TextRenderer::Draw(Image& image, int left, int baseline, std::string_view text, int pixelHeight, TextColour colour) {
    FT_Face face = state_->face;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight));
    long penX = static_cast<long>(left) << 6;
    const uint8_t ink[3] = {colour.red, colour.green, colour.blue};
    for (char32_t code : DecodeUtf8(text)) {
        if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int originX = static_cast<int>(penX >> 6) + glyph->bitmap_left;
        const int originY = baseline - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = originY + static_cast<int>(row);
            if (y < 0 || y >= image.height) continue;
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int x = originX + static_cast<int>(column);
                if (x < 0 || x >= image.width) continue;
                const int coverage = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + column];
                uint8_t* pixel = PixelAt(image, x, y);
                for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>((ink[c] * coverage + pixel[c] * (255 - coverage) + 127) / 255);
            }
        }
        penX += glyph->advance.x;
    }
}

}  // namespace imaging
