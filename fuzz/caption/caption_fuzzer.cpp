// The caption's layout on the banner: any bytes as the caption of a picture whose width comes
// from the first input byte. The fitted caption must fit and start like the caption.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "imaging/banner.h"
#include "imaging/text_renderer.h"

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

imaging::TextRenderer* Font() {
    static const std::unique_ptr<imaging::TextRenderer> font = [] {
        std::string note;
        auto loaded = imaging::TextRenderer::Load(imaging::DefaultFontFiles(), note);
        if (!loaded) __builtin_trap();  // the fuzzer needs the font the converter uses
        return loaded;
    }();
    return font.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int width = 16 + data[0] * 2;
    const std::string caption(reinterpret_cast<const char*>(data + 1), size - 1);
    imaging::TextRenderer* font = Font();

    const int pixelHeight = 12;
    const std::string fitted = font->Fit(caption, pixelHeight, width);
    if (fitted != caption) {
        if (!fitted.empty() && !fitted.ends_with(kEllipsis)) __builtin_trap();
        const std::string_view kept = std::string_view(fitted).substr(0, fitted.size() - (fitted.empty() ? 0 : kEllipsis.size()));
        if (!std::string_view(caption).starts_with(kept)) __builtin_trap();
    }
    if (!fitted.empty() && font->Measure(fitted, pixelHeight) > width) __builtin_trap();

    imaging::Image image = imaging::BlankImage(width, 48);
    imaging::DrawBanner(image, {caption, "2026-12-10 08:30:05"}, font);
    return 0;
}
