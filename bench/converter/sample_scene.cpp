#include "sample_scene.h"

#include <algorithm>
#include <cmath>

#include "rawformat/mosaic_encoder.h"

namespace pictrex::bench {

imaging::Image SampleScene(int width, int height) {
    imaging::Image scene = imaging::BlankImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            const double roofline = 0.45 + 0.08 * std::sin(u * 9.0) + (std::fmod(u * 7.0, 1.0) < 0.5 ? 0.05 : -0.02);
            double r, g, b;
            if (v < roofline) {  // sky, lighter towards the horizon
                r = 90 + 110 * v, g = 140 + 90 * v, b = 230 - 20 * v;
            } else if (v < 0.75) {  // roofs and walls with windows
                const bool window = std::fmod(u * 40.0, 1.0) < 0.3 && std::fmod(v * 30.0, 1.0) < 0.4;
                r = window ? 40 : 170, g = window ? 50 : 90, b = window ? 70 : 60;
            } else {  // lawn with texture
                const double grain = 25 * std::sin(x * 1.7) * std::cos(y * 2.3);
                r = 60 + grain, g = 150 + grain, b = 50 + grain / 2;
            }
            uint8_t* pixel = imaging::PixelAt(scene, x, y);
            pixel[0] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
            pixel[1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
            pixel[2] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
        }
    }
    return scene;
}

std::vector<uint8_t> SamplePicture(rawformat::Resolution resolution) {
    const rawformat::Layout layout = rawformat::LayoutFor(resolution);
    imaging::Image scene = SampleScene(layout.outputWidth, layout.outputHeight);
    return rawformat::EncodeScene({scene.width, scene.height, std::move(scene.rgb)}, resolution);
}

}  // namespace pictrex::bench
