#include "caption_file.h"

#include <cstdio>

namespace tessel {

void WriteCaptionFile(const std::string& text)
{
    std::FILE* file = std::fopen(kCaptionFileName, "w");
    if (file == nullptr) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace tessel
