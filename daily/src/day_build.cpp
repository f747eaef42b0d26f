#include "day_build.h"

#include <optional>
#include <vector>

#include "archive/archive.h"
#include "archive/day_lists.h"
#include "archive/directory_lock.h"
#include "imaging/jpeg_io.h"
#include "keogram.h"
#include "pictrex_settings.h"
#include "replacement_file.h"
#include "video_encoder.h"
#include "web_directory.h"

namespace tessel::daily {
namespace {

using archive::DayLists;
using archive::DayPicture;

constexpr std::size_t kLargestPicture = 64 * 1024 * 1024;
// Each keogram column is another moment: colour is kept at full resolution so that it does not
// bleed between neighbouring columns.
constexpr int kKeogramQuality = 90;

struct ReadPicture {
    std::string bytes;
    imaging::JpegColumn middle;
};

std::optional<ReadPicture> Read(const WebDirectory& folder, const DayPicture& picture) {
    FileRead file = folder.Read(picture.stamp + ".jpg", kLargestPicture);
    if (!file.ok) return std::nullopt;
    auto middle = imaging::DecodeJpegMiddleColumn(
        std::span(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size()));
    if (!middle) return std::nullopt;
    return ReadPicture{std::move(file.bytes), std::move(*middle)};
}

}  // namespace

DayBuildOutcome BuildDay(const DayBuildRequest& request) {
    using Result = DayBuildOutcome::Result;
    try {
        const std::filesystem::path archivePath = request.webDirectory / archive::kArchiveDirectory;
        const DayLists lists(archivePath);
        const std::vector<DayPicture> pictures = lists.Pictures(request.day);
        if (pictures.empty()) return {Result::NoPictures, "no pictures listed for " + request.day};
        const WebDirectory webDirectory = WebDirectory::Open(request.webDirectory);
        const int fps = pictrex::LoadSettings(webDirectory).settings.timelapseFps;
        const WebDirectory archiveFolder = WebDirectory::Open(archivePath, DirectoryLinks::FollowIfOwned);
        const WebDirectory days = archiveFolder.Subdirectory(archive::kDaysDirectory, DirectoryLinks::FollowIfOwned, true);

        // The first readable picture sets the frame size; unreadable pictures are left out.
        std::size_t firstIndex = 0;
        std::optional<ReadPicture> first;
        for (; !first && firstIndex < pictures.size(); ++firstIndex) first = Read(archiveFolder, pictures[firstIndex]);
        if (!first) return {Result::Failed, "none of the " + std::to_string(pictures.size()) + " pictures is readable"};
        --firstIndex;

        const VideoFormat format = FrameSizeFor(first->middle.pictureWidth, first->middle.pictureHeight, fps,
                                                static_cast<int>(pictures.size()));
        ReplacementFile video(days, archive::VideoFileName(request.day));
        VideoEncoder encoder(request.ffmpeg, format, video.descriptor());
        Keogram keogram;
        std::size_t skipped = firstIndex;
        for (std::size_t i = firstIndex; i < pictures.size(); ++i) {
            const std::optional<ReadPicture> picture = i == firstIndex ? std::move(first) : Read(archiveFolder, pictures[i]);
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

        const std::vector<uint8_t> keogramJpeg =
            imaging::EncodeJpeg(keogram.Render(), kKeogramQuality, imaging::Chroma::Full);
        video.Publish();
        days.ReplaceAtomically(archive::KeogramFileName(request.day), keogramJpeg);
        {
            const archive::DirectoryLock lock(webDirectory, archive::kLockName);
            if (!lists.RecordProducts(request.day, archive::VideoName(request.day), archive::KeogramName(request.day))) {
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
