// A scratch web directory for the converter's tests, removed afterwards, that can also hold the
// station's native pictures.
#pragma once

#include <string>

#include "imaging/image.h"
#include "rawformat/raw_layout.h"
#include "scratch_web_directory.h"

namespace pictrex::testing {

class WebDirectory : public tessel::testing::ScratchWebDirectory {
public:
    // Stores the patch scene as image<stamp>.dc2, as the station does.
    std::string StorePicture(const std::string& stamp, rawformat::Resolution resolution = rawformat::Resolution::High) const;
};

// Mean of all components of a picture.
double MeanLevel(const imaging::Image& image);

}  // namespace pictrex::testing
