// make_sample RAW PPM: writes the sample native picture (high resolution) to RAW and the same
// picture already decoded (500×241 RGB, before aspect correction) to PPM, for comparing the
// converter with general tools.
#include <fstream>
#include <iostream>

#include "raw_conversion.h"
#include "sample_scene.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_sample RAW PPM\n";
        return 2;
    }
    const auto raw = pictrex::bench::SamplePicture(rawformat::Resolution::High);
    std::ofstream(argv[1], std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    const auto picture = std::get<pictrex::RawPicture>(pictrex::RecognisePicture(raw));
    const imaging::Image decoded = pictrex::ReconstructColours(picture);
    std::ofstream ppm(argv[2], std::ios::binary);
    ppm << "P6\n" << decoded.width << ' ' << decoded.height << "\n255\n";
    ppm.write(reinterpret_cast<const char*>(decoded.rgb.data()), static_cast<std::streamsize>(decoded.rgb.size()));
    return 0;
}
