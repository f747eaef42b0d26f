// The converter's reading of the published webcam.jpg when it makes the camera-off picture:
// the bytes are written to a scratch file and decoded as the converter does it.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "imaging/jpeg_io.h"

namespace {

// One scratch file per fuzzing process, rewritten for every input.
struct ScratchFile {
    ScratchFile() {
        path = (std::filesystem::temp_directory_path() / "tessel-fuzz-jpeg-XXXXXX").string();
        fd = ::mkstemp(path.data());
        if (fd < 0) std::abort();
    }
    ~ScratchFile() {
        ::close(fd);
        ::unlink(path.c_str());
    }
    void Replace(const uint8_t* data, std::size_t size) {
        if (::ftruncate(fd, 0) != 0) std::abort();
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
    }
    std::string path;
    int fd = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static ScratchFile scratch;
    scratch.Replace(data, size);
    const auto image = imaging::DecodeJpegFile(scratch.path);
    if (image && image->rgb.size() != static_cast<std::size_t>(image->width) * image->height * 3) __builtin_trap();
    return 0;
}
