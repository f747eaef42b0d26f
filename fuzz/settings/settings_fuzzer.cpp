// The parser of the converter's settings file pictrex.ini: whatever the text, the settings stay
// within their documented ranges.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pictrex_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const pictrex::LoadedSettings loaded =
        pictrex::ParseSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    const pictrex::Settings& s = loaded.settings;
    if (s.jpegQuality < 1 || s.jpegQuality > 100 || s.archiveDays < 0) __builtin_trap();
    return 0;
}
