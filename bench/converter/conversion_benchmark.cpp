// The converter's stages on one picture: raw to RGB (the target is 5 ms for high resolution),
// and the rest of a run for comparison.
#include <benchmark/benchmark.h>

#include "banner.h"
#include "jpeg_io.h"
#include "raw_conversion.h"
#include "sample_scene.h"

namespace pictrex::bench {
namespace {

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
    auto font = TextRenderer::Load(DefaultFontFiles(), note);
    for (auto _ : state) {
        Image image = converted;
        DrawBanner(image, {"Roof camera \xe2\x80\x93 Gr\xc3\xbc\xc3\x9f" "e", "2026-12-10 08:30:05"}, font.get());
        benchmark::DoNotOptimize(EncodeJpeg(image, 85));
    }
}
BENCHMARK(BannerAndJpeg)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pictrex::bench

BENCHMARK_MAIN();
