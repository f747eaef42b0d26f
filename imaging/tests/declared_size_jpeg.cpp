#include "declared_size_jpeg.h"

namespace imaging::testing {

std::vector<uint8_t> JpegDeclaring(unsigned width, unsigned height) {
    std::vector<uint8_t> jpeg{0xFF, 0xD8};                      // start of image
    jpeg.insert(jpeg.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});   // quantisation table 0
    jpeg.insert(jpeg.end(), 64, 1);
    jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08,     // baseline frame, 8 bits
                             static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                             static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
                             0x01, 0x01, 0x11, 0x00});          // one component, 1x1, table 0
    for (uint8_t tableClass : {0x00, 0x10}) {                   // DC and AC tables: one 1-bit code, symbol 0
        jpeg.insert(jpeg.end(), {0xFF, 0xC4, 0x00, 0x14, tableClass, 0x01});
        jpeg.insert(jpeg.end(), 15, 0);
        jpeg.push_back(0x00);
    }
    jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});  // scan
    while (jpeg.size() < 174) jpeg.push_back(0x00);
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});                      // end of image
    return jpeg;
}

}  // namespace imaging::testing
