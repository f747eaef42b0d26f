// The converter's stages on one picture: raw to RGB (the target is 5 ms for high resolution),
// and the rest of a run for comparison; and fitting captions of up to the Message box's
// 32 767 characters to the strip (the target is a few milliseconds at any length).
#include <benchmark/benchmark.h>

#include "imaging/banner.h"
#include "imaging/jpeg_io.h"
#include "raw_conversion.h"
#include "sample_scene.h"

namespace pictrex::bench {
namespace {

using imaging::Image;
using imaging::TextRenderer;

RawPicture Sample(rawformat::Resolution resolution) {
    return std::get<RawPicture>(RecognisePicture(SamplePicture(resolution)));
}

void RawToRgb(benchmark::State& state, rawformat::Resolution resolution) {
    const RawPicture picture = Sample(resolution);
    for (auto _ : state) benchmark::DoNotOptimize(ConvertRaw(picture));
}
BENCHMARK_CAPTURE(RawToRgb, high, rawformat::Resolution::High)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawToRgb, low, rawformat::Resolution::Low)->Unit(benchmark::kMillisecond);

void BannerAndJpeg(benchmark::State& state) {
    const Image converted = ConvertRaw(Sample(rawformat::Resolution::High));
    std::string note;
    auto font = TextRenderer::Load(imaging::DefaultFontFiles(), note);
    for (auto _ : state) {
        Image image = converted;
        imaging::DrawBanner(image, {"Roof camera \xe2\x80\x93 Gr\xc3\xbc\xc3\x9f" "e", "2026-12-10 08:30:05"}, font.get());
        benchmark::DoNotOptimize(imaging::EncodeJpeg(image, 85));
    }
}
BENCHMARK(BannerAndJpeg)->Unit(benchmark::kMillisecond);

// A caption of `state.range(0)` characters, mixed one- and two-byte, fitted to `state.range(1)`
// pixels: 300 is about the room the banner of a high-resolution picture leaves; the huge width
// makes the fitting walk the whole caption, its worst case.
void CaptionFit(benchmark::State& state) {
    std::string note;
    auto font = TextRenderer::Load(imaging::DefaultFontFiles(), note);
    if (!font) {
        state.SkipWithError(note.c_str());
        return;
    }
    std::string caption;
    for (int64_t i = 0; i < state.range(0); ++i) caption += i % 7 == 6 ? "\xc3\xbc" : "a";
    for (auto _ : state) benchmark::DoNotOptimize(font->Fit(caption, 16, static_cast<int>(state.range(1))));
}
BENCHMARK(CaptionFit)
    ->ArgsProduct({{1000, 4096, 32767}, {300, 1 << 30}})
    ->ArgNames({"characters", "width"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pictrex::bench

BENCHMARK_MAIN();
