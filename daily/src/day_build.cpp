#include "day_build.h"

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive.h"
#include "atomic_file.h"
#include "bounded_read.h"
#include "day_lists.h"
#include "jpeg_io.h"
#include "keogram.h"
#include "settings.h"
#include "video_encoder.h"

namespace tessel::daily {
namespace {

using pictrex::DayLists;
using pictrex::DayPicture;

constexpr std::size_t kLargestPicture = 64 * 1024 * 1024;
// Each keogram column is another moment: colour is kept at full resolution so that it does not
// bleed between neighbouring columns.
constexpr int kKeogramQuality = 90;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A temporary file beside `target`, removed on destruction unless it was renamed over the target.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) : target_(target) {
        std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        const int descriptor = ::mkstemp(pattern.data());
        if (descriptor < 0) throw Failure("cannot create a temporary file for " + target.string());
        ::close(descriptor);
        path_ = pattern;
    }
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Flushes the finished file to disk, gives it the mode of a new file and renames it over the target.
    void Publish() {
        const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        const bool synced = descriptor >= 0 && ::fchmod(descriptor, 0666 & ~mask) == 0 && ::fsync(descriptor) == 0;
        if (descriptor >= 0) ::close(descriptor);
        if (!synced || ::rename(path_.c_str(), target_.c_str()) != 0) {
            throw Failure("cannot put " + target_.string() + " in place");
        }
        path_.clear();
    }

private:
    std::filesystem::path target_;
    std::filesystem::path path_;
};

struct ReadPicture {
    std::string bytes;
    pictrex::JpegColumn middle;
};

std::optional<ReadPicture> Read(const std::filesystem::path& archive, const DayPicture& picture) {
    auto bytes = pictrex::ReadFileUpTo(archive / (picture.stamp + ".jpg"), kLargestPicture);
    if (!bytes) return std::nullopt;
    auto middle = pictrex::DecodeJpegMiddleColumn(
        std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
    if (!middle) return std::nullopt;
    return ReadPicture{std::move(*bytes), std::move(*middle)};
}

}  // namespace

DayBuildOutcome BuildDay(const DayBuildRequest& request) {
    using Result = DayBuildOutcome::Result;
    const std::filesystem::path archive = request.webDirectory / pictrex::kArchiveDirectory;
    const DayLists lists(archive);
    try {
        const std::vector<DayPicture> pictures = lists.Pictures(request.day);
        if (pictures.empty()) return {Result::NoPictures, "no pictures listed for " + request.day};
        const int fps = pictrex::LoadSettings(request.webDirectory / "pictrex.ini").settings.timelapseFps;

        // The first readable picture sets the frame size; unreadable pictures are left out.
        std::size_t firstIndex = 0;
        std::optional<ReadPicture> first;
        for (; !first && firstIndex < pictures.size(); ++firstIndex) first = Read(archive, pictures[firstIndex]);
        if (!first) return {Result::Failed, "none of the " + std::to_string(pictures.size()) + " pictures is readable"};
        --firstIndex;

        const VideoFormat format = FrameSizeFor(first->middle.pictureWidth, first->middle.pictureHeight, fps,
                                                static_cast<int>(pictures.size()));
        TemporaryFile video(archive / pictrex::VideoName(request.day));
        VideoEncoder encoder(request.ffmpeg, format, video.path());
        Keogram keogram;
        std::size_t skipped = firstIndex;
        for (std::size_t i = firstIndex; i < pictures.size(); ++i) {
            const std::optional<ReadPicture> picture = i == firstIndex ? std::move(first) : Read(archive, pictures[i]);
            if (!picture) {
                ++skipped;
                continue;
            }
            keogram.Add(picture->middle);
            if (!encoder.Add(std::span(reinterpret_cast<const uint8_t*>(picture->bytes.data()), picture->bytes.size()))) {
                break;  // ffmpeg gave up; Finish says why
            }
        }
        if (const std::string failure = encoder.Finish(); !failure.empty()) return {Result::Failed, failure};

        const std::vector<uint8_t> keogramJpeg = pictrex::EncodeJpeg(keogram.Render(), kKeogramQuality, pictrex::Chroma::Full);
        video.Publish();
        pictrex::WriteFileAtomically(archive / pictrex::KeogramName(request.day), keogramJpeg);
        {
            const pictrex::DirectoryLock lock(request.webDirectory / "pictrex.lock");
            if (!lists.RecordProducts(request.day, pictrex::VideoName(request.day), pictrex::KeogramName(request.day))) {
                return {Result::Failed, request.day + " left the list of days while it was built"};
            }
        }
        std::string message = std::to_string(keogram.width()) + " pictures, " + std::to_string(format.width) + "x" +
                               std::to_string(format.height) + " at " + std::to_string(fps) + " fps";
        if (skipped > 0) message += ", " + std::to_string(skipped) + " unreadable left out";
        return {Result::Built, message};
    } catch (const std::exception& e) {
        return {Result::Failed, e.what()};
    }
}

}  // namespace tessel::daily
