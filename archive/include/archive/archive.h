// The picture archive `archive/` in the web directory: archived pictures, their thumbnails and
// their retention. (Its index page is the `archindex` program's.)
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "archive/stamp.h"
#include "web_directory.h"

namespace archive {

inline constexpr const char* kArchiveDirectory = "archive";

// The archive directory of the web directory, created when missing. A symbolic link named
// `archive` (an archive moved to a bigger disk) is followed only when the link and the directory
// it names belong to the running account or to root. Throws tessel::FileError.
tessel::WebDirectory OpenArchive(const tessel::WebDirectory& webDirectory);

// Writes <stamp>.jpg into the archive atomically. Throws tessel::FileError.
void ArchivePicture(const tessel::WebDirectory& archive, const Stamp& stamp, std::span<const uint8_t> jpeg);

// The archive's thumbnails: thumbs/<stamp>.jpg, a small copy of each archived picture for the gallery.
inline constexpr const char* kThumbsDirectory = "thumbs";

// Writes the thumbnail `jpeg` of the picture `stamp` atomically as
// <archiveDirectory>/thumbs/<stamp>.jpg, creating the folder when missing. Throws tessel::FileError.
void WriteThumbnail(const std::filesystem::path& archiveDirectory, const Stamp& stamp, std::span<const uint8_t> jpeg);

// Removes temporary files of archived pictures (".<stamp>.jpg.XXXXXX") whose last change is older
// than `age`, left by a killed run. Returns how many were removed.
int RemoveStalePictureTemporaries(const tessel::WebDirectory& archive, std::chrono::seconds age);

struct ExpiryOutcome {
    std::vector<Stamp> deleted;
    std::vector<std::string> refusals;  // expired names that are not regular files (links, …): kept
};

// Deletes archived pictures (regular files named <stamp>.jpg) whose stamp lies more than `days`
// days before the local time `now`, with their thumbnails; other files are left alone, and a link or directory with
// such a name is refused rather than removed or followed. Throws tessel::FileError when the
// archive cannot be listed.
ExpiryOutcome DeleteExpiredPictures(const tessel::WebDirectory& archive, int days, std::time_t now);

}  // namespace archive
