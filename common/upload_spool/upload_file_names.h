// The names of the files remote publishing keeps beside the web directory's public files, in one
// place: the settings it reads, its queue, log, status and lock.
#pragma once

#include <string_view>

namespace tessel {

inline constexpr std::string_view kSettingsName = "pictrex.ini";
inline constexpr std::string_view kUploadSpoolName = "upload-spool";
inline constexpr std::string_view kUploadLogName = "upload.log";
inline constexpr std::string_view kUploadStatusName = "upload.json";
inline constexpr std::string_view kUploadLockName = "upload.lock";
// In each target's spool folder: the jobs moved aside after the server refused their file.
inline constexpr std::string_view kHeldFolderName = "held";
// In each target's spool folder: for each file that changes, a link naming its newest job.
inline constexpr std::string_view kNewestJobFolderName = ".newest";

}  // namespace tessel
