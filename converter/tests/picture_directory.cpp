#include "picture_directory.h"

#include <numeric>

#include "scenes.h"

namespace pictrex::testing {

std::string WebDirectory::StorePicture(const std::string& stamp, rawformat::Resolution resolution) const {
    const std::string name = "image" + stamp + ".dc2";
    Write(name, PatchPicture(resolution));
    return name;
}

double MeanLevel(const imaging::Image& image) {
    return std::accumulate(image.rgb.begin(), image.rgb.end(), 0.0) / static_cast<double>(image.rgb.size());
}

}  // namespace pictrex::testing
