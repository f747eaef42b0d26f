// Fitting the caption to the strip: the result is the longest start of the text, in whole
// characters, that fits with an ellipsis after it, for any length of caption; and the decoding of
// UTF-8 that the fitting and the drawing rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "imaging/text_renderer.h"

namespace imaging {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
constexpr int kPixelHeight = 20;

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// UTF-8 of one code point, so that a character of the decoded text can be measured alone.
std::string EncodeUtf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

struct FitCase {
    const char* name;
    std::string text;
    int width;
};

class TextFit : public ::testing::TestWithParam<FitCase> {
protected:
    static void SetUpTestSuite() {
        std::string note;
        font_ = TextRenderer::Load(DefaultFontFiles(), note).release();
        ASSERT_NE(font_, nullptr) << note;
    }
    static void TearDownTestSuite() {
        delete font_;
        font_ = nullptr;
    }
    static TextRenderer* font_;
};

TextRenderer* TextFit::font_ = nullptr;

TEST_P(TextFit, KeepsTheLongestWholeStartThatFitsWithTheEllipsis) {
    const FitCase& c = GetParam();
    const std::string fitted = font_->Fit(c.text, kPixelHeight, c.width);
    if (font_->Measure(c.text, kPixelHeight) <= c.width) {
        EXPECT_EQ(fitted, c.text) << "a text that fits is left alone";
        return;
    }
    if (font_->Measure(kEllipsis, kPixelHeight) > c.width) {
        EXPECT_EQ(fitted, "") << "not even the ellipsis fits";
        return;
    }
    ASSERT_GE(fitted.size(), kEllipsis.size());
    ASSERT_EQ(fitted.substr(fitted.size() - kEllipsis.size()), kEllipsis);
    const std::string kept = fitted.substr(0, fitted.size() - kEllipsis.size());
    ASSERT_LT(kept.size(), c.text.size());
    EXPECT_EQ(c.text.compare(0, kept.size(), kept), 0) << "the kept part is a start of the text";
    EXPECT_LE(font_->Measure(fitted, kPixelHeight), c.width);
    // Cut between characters: the kept bytes decode to the text's first characters, which a
    // cut inside a multi-byte sequence would turn into replacement characters.
    const std::vector<char32_t> all = DecodeUtf8(c.text);
    const std::vector<char32_t> start = DecodeUtf8(kept);
    ASSERT_LT(start.size(), all.size());
    EXPECT_TRUE(std::equal(start.begin(), start.end(), all.begin())) << "cut inside a sequence at byte " << kept.size();
    // Longest: one more character would not fit with the ellipsis.
    const std::string longer = kept + EncodeUtf8(all[start.size()]) + std::string(kEllipsis);
    EXPECT_GT(font_->Measure(longer, kPixelHeight), c.width) << "a longer start would have fitted";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextFit,
    ::testing::Values(FitCase{"ShortFits", "Roof camera", 400}, FitCase{"Empty", "", 100},
                      FitCase{"AsciiCut", Repeat("Wide view over the lake ", 10), 300},
                      FitCase{"TwoByteCut", Repeat("Gr\xC3\xBC\xC3\x9F\xC3\xA9 ", 60), 250},
                      FitCase{"ThreeByteCut", Repeat("\xE6\x97\xA5\xE6\x9C\xAC\xE2\x98\x80", 80), 180},
                      FitCase{"FourByteCut", Repeat("a\xF0\x9F\x98\x80", 80), 150},
                      FitCase{"MalformedBytes", Repeat("x\xFF\xC3y\xE2\x82", 100), 200},
                      FitCase{"OnlyTheEllipsisFits", "WWWW", 22}, FitCase{"NothingFits", "WWWW", 2},
                      FitCase{"ZeroWidth", "abc", 0}, FitCase{"NegativeWidth", "abc", -40},
                      FitCase{"Message1000", Repeat("0123456789", 100), 460},
                      FitCase{"Message4096", Repeat("Hello ", 682) + "Hell", 460},
                      FitCase{"Message32767", Repeat("\xC3\xA9", 32767), 460}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Test, DecodesAndReplacesMalformedBytes) {
    EXPECT_EQ(DecodeUtf8("a\xC3\xBC\xE2\x98\x80"), (std::vector<char32_t>{U'a', 0xFC, 0x2600}));
    EXPECT_EQ(DecodeUtf8("\xFF" "b\xC3"), (std::vector<char32_t>{0xFFFD, U'b', 0xFFFD}));
    EXPECT_EQ(DecodeUtf8("\xE0\x80\x80"), (std::vector<char32_t>{0xFFFD, 0xFFFD, 0xFFFD}));  // overlong
}

}  // namespace
}  // namespace imaging
