// The converter's reading of a stored native picture: recognising its form from the file's
// bytes, then rebuilding the colours of whatever was recognised.
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "raw_conversion.h"
#include "raw_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto recognised = pictrex::RecognisePicture(std::span<const uint8_t>(data, size));
    if (const auto* picture = std::get_if<pictrex::RawPicture>(&recognised)) {
        const imaging::Image image = pictrex::ConvertRaw(*picture);
        if (image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3) __builtin_trap();
    }
    return 0;
}
