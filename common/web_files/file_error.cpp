#include "file_error.h"

#include <cstring>

namespace tessel {

std::string FileProblem(const std::filesystem::path& file, const std::string& what, int error) {
    return file.string() + ": " + what + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

}  // namespace tessel
