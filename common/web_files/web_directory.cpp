#include "web_directory.h"

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_names.h"
#include "replacement_file.h"

namespace tessel {
namespace {

bool OwnedByUsOrRoot(const struct stat& status) { return status.st_uid == ::geteuid() || status.st_uid == 0; }

// Reads an open regular file whole, refusing one of more than `limit` bytes (also one that grows
// past the limit while it is read).
FileRead ReadOpenFile(int descriptor, const std::filesystem::path& file, std::size_t limit) {
    FileRead result;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        result.error = FileProblem(file, "cannot read", errno);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.error = FileProblem(file, "not a regular file; refused", 0);
        return result;
    }
    const std::string tooLarge = FileProblem(file, "larger than " + std::to_string(limit) + " bytes; refused", 0);
    if (static_cast<uint64_t>(status.st_size) > limit) {
        result.error = tooLarge;
        return result;
    }
    result.bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || result.bytes.size() + static_cast<std::size_t>(std::max<ssize_t>(got, 0)) > limit) {
            result.error = got < 0 ? FileProblem(file, "cannot read", errno) : tooLarge;
            result.bytes.clear();
            return result;
        }
        if (got == 0) break;
        result.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    result.ok = true;
    return result;
}

FileRead ReadWithFlags(int directory, const std::string& name, const std::filesystem::path& shown, std::size_t limit,
                       int extraFlags) {
    const int descriptor = ::openat(directory, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | extraFlags);
    if (descriptor < 0) {
        FileRead result;
        result.missing = errno == ENOENT;
        result.error = errno == ELOOP ? FileProblem(shown, "is a symbolic link; refused", 0) : FileProblem(shown, "cannot open", errno);
        return result;
    }
    FileDescriptor owned(descriptor);
    return ReadOpenFile(descriptor, shown, limit);
}

}  // namespace

WebDirectory WebDirectory::Open(const std::filesystem::path& path, DirectoryLinks links) {
    std::filesystem::path shown = path.empty() ? std::filesystem::path(".") : path;
    if (!shown.has_filename() && shown.has_relative_path()) shown = shown.parent_path();  // "dir/" is "dir"
    const std::string name = shown.filename().string();
    if (links == DirectoryLinks::Follow || name.empty() || name == "." || name == "..") {
        FileDescriptor opened(::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!opened.valid()) throw FileError(FileProblem(shown, "cannot open the directory", errno));
        return WebDirectory(shown, std::move(opened));
    }
    const std::filesystem::path parent = shown.has_parent_path() ? shown.parent_path() : ".";
    WebDirectory opened = Open(parent, DirectoryLinks::Follow).Subdirectory(name, links);
    opened.path_ = shown;
    return opened;
}

WebDirectory WebDirectory::Subdirectory(std::string_view name, DirectoryLinks links, bool create) const {
    CheckEntryName(path_, name);
    const std::string entry(name);
    const std::filesystem::path shown = path_ / entry;
    if (create && ::mkdirat(descriptor(), entry.c_str(), 0777) != 0 && errno != EEXIST) {
        throw FileError(FileProblem(shown, "cannot create the directory", errno));
    }
    struct stat link {};
    if (::fstatat(descriptor(), entry.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0) {
        throw FileError(FileProblem(shown, "cannot open the directory", errno));
    }
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (S_ISLNK(link.st_mode)) {
        if (links == DirectoryLinks::Refuse) throw FileError(FileProblem(shown, "is a symbolic link; refused", 0));
        if (!OwnedByUsOrRoot(link)) {
            throw FileError(FileProblem(shown, "is a symbolic link owned by another account; refused", 0));
        }
    } else {
        flags |= O_NOFOLLOW;
    }
    FileDescriptor opened(::openat(descriptor(), entry.c_str(), flags));
    if (!opened.valid()) {
        throw FileError(FileProblem(shown, errno == ELOOP ? "is a symbolic link; refused" : "cannot open the directory",
                                 errno == ELOOP ? 0 : errno));
    }
    struct stat target {};
    if (::fstat(opened.get(), &target) != 0) throw FileError(FileProblem(shown, "cannot open the directory", errno));
    if (S_ISLNK(link.st_mode) && !OwnedByUsOrRoot(target)) {
        throw FileError(FileProblem(shown, "links to a directory owned by another account; refused", 0));
    }
    return WebDirectory(shown, std::move(opened));
}

FileRead WebDirectory::Read(std::string_view name, std::size_t limit) const {
    CheckEntryName(path_, name);
    return ReadWithFlags(descriptor(), std::string(name), path_ / std::string(name), limit, O_NOFOLLOW);
}

FileDescriptor WebDirectory::OpenForWriting(std::string_view name, WriteMode mode, unsigned permissions) const {
    CheckEntryName(path_, name);
    const std::string entry(name);
    const std::filesystem::path shown = path_ / entry;
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (mode == WriteMode::CreateNew) flags |= O_EXCL;
    if (mode == WriteMode::CreateOrAppend) flags |= O_APPEND;
    FileDescriptor opened(::openat(descriptor(), entry.c_str(), flags, permissions));
    if (!opened.valid()) {
        if (errno == ELOOP) throw FileError(FileProblem(shown, "is a symbolic link; refused", 0));
        throw FileError(FileProblem(shown, "cannot open for writing", errno));
    }
    struct stat status {};
    if (::fstat(opened.get(), &status) != 0) throw FileError(FileProblem(shown, "cannot open for writing", errno));
    if (!S_ISREG(status.st_mode)) throw FileError(FileProblem(shown, "not a regular file; refused", 0));
    // Truncate only once it is known to be a regular file of its own.
    if (mode == WriteMode::CreateOrTruncate && ::ftruncate(opened.get(), 0) != 0) {
        throw FileError(FileProblem(shown, "cannot empty", errno));
    }
    const int fileFlags = ::fcntl(opened.get(), F_GETFL);
    if (fileFlags >= 0) ::fcntl(opened.get(), F_SETFL, fileFlags & ~O_NONBLOCK);
    return opened;
}

void WebDirectory::ReplaceAtomically(std::string_view name, std::span<const uint8_t> contents) const {
    ReplacementFile file(*this, name);
    file.Write(contents);
    file.Publish();
}

void WebDirectory::ReplaceAtomically(std::string_view name, std::string_view contents) const {
    ReplaceAtomically(name, std::span(reinterpret_cast<const uint8_t*>(contents.data()), contents.size()));
}

void WebDirectory::AppendLine(std::string_view name, std::string_view line) const {
    FileDescriptor file = OpenForWriting(name, WriteMode::CreateOrAppend);
    const ssize_t written = ::write(file.get(), line.data(), line.size());
    const int writeError = errno;
    if (written != static_cast<ssize_t>(line.size())) {
        throw FileError(FileProblem(path_ / std::string(name), "cannot append", written < 0 ? writeError : ENOSPC));
    }
    if (!file.Close()) throw FileError(FileProblem(path_ / std::string(name), "cannot append", errno));
}

bool WebDirectory::RemoveRegularFile(std::string_view name) const {
    CheckEntryName(path_, name);
    const std::string entry(name);
    const std::filesystem::path shown = path_ / entry;
    struct stat status {};
    if (::fstatat(descriptor(), entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return false;
        throw FileError(FileProblem(shown, "cannot remove", errno));
    }
    if (!S_ISREG(status.st_mode)) throw FileError(FileProblem(shown, "not a regular file; not removed", 0));
    if (::unlinkat(descriptor(), entry.c_str(), 0) != 0) {
        if (errno == ENOENT) return false;
        throw FileError(FileProblem(shown, "cannot remove", errno));
    }
    return true;
}

namespace {

int RemoveStaleMatching(const WebDirectory& directory, std::string_view name, std::chrono::seconds age) {
    const auto oldest = std::chrono::system_clock::now() - age;
    int removed = 0;
    for (const std::string& entry : directory.Names()) {
        if (!IsTemporaryName(entry, name)) continue;
        struct stat status {};
        if (::fstatat(directory.descriptor(), entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const auto changed = std::chrono::system_clock::from_time_t(status.st_mtim.tv_sec);
        if (!S_ISREG(status.st_mode) || changed > oldest) continue;
        if (::unlinkat(directory.descriptor(), entry.c_str(), 0) == 0) ++removed;
    }
    return removed;
}

}  // namespace

int WebDirectory::RemoveStaleTemporaries(std::string_view name, std::chrono::seconds age) const {
    CheckEntryName(path_, name);
    return RemoveStaleMatching(*this, name, age);
}

int WebDirectory::RemoveAllStaleTemporaries(std::chrono::seconds age) const {
    return RemoveStaleMatching(*this, {}, age);
}

std::vector<std::string> WebDirectory::Names() const {
    std::vector<std::string> names;
    const int copy = ::openat(descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) throw FileError(FileProblem(path_, "cannot list", errno));
    DIR* listing = ::fdopendir(copy);
    if (listing == nullptr) {
        const int error = errno;
        ::close(copy);
        throw FileError(FileProblem(path_, "cannot list", error));
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view entryName = entry->d_name;
        if (entryName != "." && entryName != "..") names.emplace_back(entryName);
    }
    ::closedir(listing);
    return names;
}

FileRead ReadRegularFile(const std::filesystem::path& file, std::size_t limit) {
    return ReadWithFlags(AT_FDCWD, file.string(), file, limit, 0);
}

}  // namespace tessel
