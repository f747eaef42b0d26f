#include "caption_file.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "web_directory.h"

namespace tessel {

bool IsLink(const std::string& name)
{
    struct stat status {};
    return ::lstat(name.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

CaptionWrite WriteCaptionFile(const std::string& text)
{
    try {
        const FileDescriptor file =
            WebDirectory::Open(".").OpenForWriting(kCaptionFileName, WriteMode::CreateOrTruncate);
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(file.get(), text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return CaptionWrite::Failed;
            }
            done += static_cast<std::size_t>(n);
        }
        return CaptionWrite::Written;
    } catch (const FileError&) {
        return IsLink(kCaptionFileName) ? CaptionWrite::RefusedLink : CaptionWrite::Failed;
    }
}

}  // namespace tessel
