#include "archive/archive.h"

namespace archive {
namespace {

// Removes the thumbnail of the archived picture `name`, when there is one.
void RemoveThumbnail(const tessel::WebDirectory& archive, const std::string& name) {
    try {
        archive.Subdirectory(kThumbsDirectory, tessel::DirectoryLinks::Refuse).RemoveRegularFile(name);
    } catch (const tessel::FileError&) {
        // No thumbnail folder, or nothing removable in it: the picture itself is gone either way.
    }
}

}  // namespace

tessel::WebDirectory OpenArchive(const tessel::WebDirectory& webDirectory) {
    return webDirectory.Subdirectory(kArchiveDirectory, tessel::DirectoryLinks::FollowIfOwned, true);
}

void ArchivePicture(const tessel::WebDirectory& archive, const Stamp& stamp, std::span<const uint8_t> jpeg) {
    archive.ReplaceAtomically(stamp.digits() + ".jpg", jpeg);
}

void WriteThumbnail(const std::filesystem::path& archiveDirectory, const Stamp& stamp, std::span<const uint8_t> jpeg) {
    using tessel::DirectoryLinks;
    tessel::WebDirectory::Open(archiveDirectory, DirectoryLinks::FollowIfOwned)
        .Subdirectory(kThumbsDirectory, DirectoryLinks::FollowIfOwned, true)
        .ReplaceAtomically(stamp.digits() + ".jpg", jpeg);
}

int RemoveStalePictureTemporaries(const tessel::WebDirectory& archive, std::chrono::seconds age) {
    constexpr std::size_t kSuffix = 7;  // ".XXXXXX"
    int removed = 0;
    for (const std::string& name : archive.Names()) {
        if (name.size() <= 1 + kSuffix || name[0] != '.') continue;
        const std::string picture = name.substr(1, name.size() - 1 - kSuffix);
        const std::filesystem::path file(picture);
        if (file.extension() == ".jpg" && Stamp::Parse(file.stem().string())) {
            removed += archive.RemoveStaleTemporaries(picture, age);
        }
    }
    return removed;
}

ExpiryOutcome DeleteExpiredPictures(const tessel::WebDirectory& archive, int days, std::time_t now) {
    ExpiryOutcome outcome;
    if (days <= 0) return outcome;
    const std::string oldestKept = StampDigitsOf(now - static_cast<std::time_t>(days) * 24 * 60 * 60);
    for (const std::string& name : archive.Names()) {
        const std::filesystem::path file(name);
        if (file.extension() != ".jpg") continue;
        const auto stamp = Stamp::Parse(file.stem().string());
        if (!stamp || stamp->digits() >= oldestKept) continue;
        try {
            if (archive.RemoveRegularFile(name)) {
                RemoveThumbnail(archive, name);
                outcome.deleted.push_back(*stamp);
            }
        } catch (const tessel::FileError& e) {
            outcome.refusals.emplace_back(e.what());
        }
    }
    return outcome;
}

}  // namespace archive
