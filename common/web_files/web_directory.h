// Files in a directory that other accounts may write to (the web directory, its archive): every
// operation works on a name inside one open directory and never follows a final symbolic link, so
// a link planted in place of a file cannot turn a write, append or delete against a file elsewhere.
// Reads take regular files only, without blocking (a FIFO or device is refused, not waited on), and
// only up to a stated size.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_descriptor.h"
#include "file_error.h"

namespace tessel {

// How a directory that is itself a symbolic link is treated when opened.
enum class DirectoryLinks {
    Follow,          // followed: a directory the owner named, such as the web directory itself
    Refuse,          // a link is refused
    FollowIfOwned,   // followed only when the link and the directory it names belong to this
                     // process's effective user or to root (an archive moved to a bigger disk)
};

enum class WriteMode {
    CreateNew,         // the file must not exist yet (O_EXCL)
    CreateOrTruncate,  // made or emptied
    CreateOrAppend,    // made, or written at its end
};

// The result of reading a file. `missing` tells a file that does not exist from one that was
// refused or failed (then `error` says why).
struct FileRead {
    bool ok = false;
    bool missing = false;
    std::string bytes;
    std::string error;
};

class WebDirectory {
public:
    // Opens `path` (throws FileError: missing, not a directory, a refused link).
    static WebDirectory Open(const std::filesystem::path& path, DirectoryLinks links = DirectoryLinks::Follow);

    // A subdirectory of this one, created (mode 0777 less the umask) when `create` and it is missing.
    WebDirectory Subdirectory(std::string_view name, DirectoryLinks links, bool create = false) const;

    const std::filesystem::path& path() const { return path_; }
    int descriptor() const { return descriptor_.get(); }

    // Reads the regular file `name` whole, at most `limit` bytes (a larger file is refused).
    FileRead Read(std::string_view name, std::size_t limit) const;

    // Opens the regular file `name` for writing without following a link; throws FileError when
    // it is a link, not a regular file, or cannot be opened.
    FileDescriptor OpenForWriting(std::string_view name, WriteMode mode, unsigned permissions = 0666) const;

    // Writes `contents` as a ReplacementFile of `name` and publishes it, so readers see the old file
    // or the new one, never a part. The new file gets mode 0666 less the umask. Throws FileError;
    // no temporary file is left then.
    void ReplaceAtomically(std::string_view name, std::span<const uint8_t> contents) const;
    void ReplaceAtomically(std::string_view name, std::string_view contents) const;

    // Appends `line` in one write (lines of concurrent writers never interleave). Throws FileError.
    void AppendLine(std::string_view name, std::string_view line) const;

    // Removes `name` when it is a regular file. False when there is no such entry; throws
    // FileError when it is something else (a link, a directory, …) or cannot be removed.
    bool RemoveRegularFile(std::string_view name) const;

    // Removes temporary files left by a ReplacementFile of `name` (".<name>.XXXXXX") whose last
    // change is older than `age`, e.g. after a run was killed. Returns how many were removed.
    int RemoveStaleTemporaries(std::string_view name, std::chrono::seconds age) const;
    // The same for every temporary file of that pattern in the directory, whatever the name.
    int RemoveAllStaleTemporaries(std::chrono::seconds age) const;

    // The names of the entries (without "." and ".."), in no particular order.
    std::vector<std::string> Names() const;

private:
    WebDirectory(std::filesystem::path path, FileDescriptor descriptor)
        : path_(std::move(path)), descriptor_(std::move(descriptor)) {}

    std::filesystem::path path_;
    FileDescriptor descriptor_;
};

// Reads a regular file anywhere (following links: for files the owner names, such as a font),
// without blocking and at most `limit` bytes.
FileRead ReadRegularFile(const std::filesystem::path& file, std::size_t limit);

}  // namespace tessel
