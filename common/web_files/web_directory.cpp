#include "web_directory.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessel {
namespace {

constexpr std::string_view kTemporaryAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTemporarySuffixLength = 6;

std::string Describe(const std::filesystem::path& file, const std::string& what, int error) {
    return file.string() + ": " + what + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

bool OwnedByUsOrRoot(const struct stat& status) { return status.st_uid == ::geteuid() || status.st_uid == 0; }

bool WriteAll(int descriptor, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Reads an open regular file whole, refusing one of more than `limit` bytes (also one that grows
// past the limit while it is read).
FileRead ReadOpenFile(int descriptor, const std::filesystem::path& file, std::size_t limit) {
    FileRead result;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        result.error = Describe(file, "cannot read", errno);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.error = Describe(file, "not a regular file; refused", 0);
        return result;
    }
    const std::string tooLarge = Describe(file, "larger than " + std::to_string(limit) + " bytes; refused", 0);
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
            result.error = got < 0 ? Describe(file, "cannot read", errno) : tooLarge;
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
        result.error = errno == ELOOP ? Describe(shown, "is a symbolic link; refused", 0) : Describe(shown, "cannot open", errno);
        return result;
    }
    FileDescriptor owned(descriptor);
    return ReadOpenFile(descriptor, shown, limit);
}

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kTemporaryAlphabet.size() - 1);
    std::string suffix(kTemporarySuffixLength, ' ');
    for (char& c : suffix) c = kTemporaryAlphabet[pick(generator)];
    return suffix;
}

// Whether `entry` is ".<name>.XXXXXX", the temporary name ReplaceAtomically gives `name`; an
// empty `name` stands for any name.
bool IsTemporaryName(std::string_view entry, std::string_view name) {
    if (entry.size() < 2 + kTemporarySuffixLength || entry.front() != '.') return false;
    const std::string_view suffix = entry.substr(entry.size() - kTemporarySuffixLength);
    const std::string_view stem = entry.substr(1, entry.size() - 2 - kTemporarySuffixLength);
    if (entry[entry.size() - kTemporarySuffixLength - 1] != '.') return false;
    if (suffix.find_first_not_of(kTemporaryAlphabet) != std::string_view::npos) return false;
    return name.empty() ? !stem.empty() : stem == name;
}

// Checks that `name` is one plain entry name: the operations never reach outside the directory.
void CheckName(const std::filesystem::path& directory, std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        throw FileError(Describe(directory / std::string(name), "not a plain file name", 0));
    }
}

}  // namespace

WebDirectory WebDirectory::Open(const std::filesystem::path& path, DirectoryLinks links) {
    std::filesystem::path shown = path.empty() ? std::filesystem::path(".") : path;
    if (!shown.has_filename() && shown.has_relative_path()) shown = shown.parent_path();  // "dir/" is "dir"
    const std::string name = shown.filename().string();
    if (links == DirectoryLinks::Follow || name.empty() || name == "." || name == "..") {
        FileDescriptor opened(::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!opened.valid()) throw FileError(Describe(shown, "cannot open the directory", errno));
        return WebDirectory(shown, std::move(opened));
    }
    const std::filesystem::path parent = shown.has_parent_path() ? shown.parent_path() : ".";
    WebDirectory opened = Open(parent, DirectoryLinks::Follow).Subdirectory(name, links);
    opened.path_ = shown;
    return opened;
}

WebDirectory WebDirectory::Subdirectory(std::string_view name, DirectoryLinks links, bool create) const {
    CheckName(path_, name);
    const std::string entry(name);
    const std::filesystem::path shown = path_ / entry;
    if (create && ::mkdirat(descriptor(), entry.c_str(), 0777) != 0 && errno != EEXIST) {
        throw FileError(Describe(shown, "cannot create the directory", errno));
    }
    struct stat link {};
    if (::fstatat(descriptor(), entry.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0) {
        throw FileError(Describe(shown, "cannot open the directory", errno));
    }
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (S_ISLNK(link.st_mode)) {
        if (links == DirectoryLinks::Refuse) throw FileError(Describe(shown, "is a symbolic link; refused", 0));
        if (!OwnedByUsOrRoot(link)) {
            throw FileError(Describe(shown, "is a symbolic link owned by another account; refused", 0));
        }
    } else {
        flags |= O_NOFOLLOW;
    }
    FileDescriptor opened(::openat(descriptor(), entry.c_str(), flags));
    if (!opened.valid()) {
        throw FileError(Describe(shown, errno == ELOOP ? "is a symbolic link; refused" : "cannot open the directory",
                                 errno == ELOOP ? 0 : errno));
    }
    struct stat target {};
    if (::fstat(opened.get(), &target) != 0) throw FileError(Describe(shown, "cannot open the directory", errno));
    if (S_ISLNK(link.st_mode) && !OwnedByUsOrRoot(target)) {
        throw FileError(Describe(shown, "links to a directory owned by another account; refused", 0));
    }
    return WebDirectory(shown, std::move(opened));
}

FileRead WebDirectory::Read(std::string_view name, std::size_t limit) const {
    CheckName(path_, name);
    return ReadWithFlags(descriptor(), std::string(name), path_ / std::string(name), limit, O_NOFOLLOW);
}

FileDescriptor WebDirectory::OpenForWriting(std::string_view name, WriteMode mode, unsigned permissions) const {
    CheckName(path_, name);
    const std::string entry(name);
    const std::filesystem::path shown = path_ / entry;
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (mode == WriteMode::CreateNew) flags |= O_EXCL;
    if (mode == WriteMode::CreateOrAppend) flags |= O_APPEND;
    FileDescriptor opened(::openat(descriptor(), entry.c_str(), flags, permissions));
    if (!opened.valid()) {
        if (errno == ELOOP) throw FileError(Describe(shown, "is a symbolic link; refused", 0));
        throw FileError(Describe(shown, "cannot open for writing", errno));
    }
    struct stat status {};
    if (::fstat(opened.get(), &status) != 0) throw FileError(Describe(shown, "cannot open for writing", errno));
    if (!S_ISREG(status.st_mode)) throw FileError(Describe(shown, "not a regular file; refused", 0));
    // Truncate only once it is known to be a regular file of its own.
    if (mode == WriteMode::CreateOrTruncate && ::ftruncate(opened.get(), 0) != 0) {
        throw FileError(Describe(shown, "cannot empty", errno));
    }
    const int fileFlags = ::fcntl(opened.get(), F_GETFL);
    if (fileFlags >= 0) ::fcntl(opened.get(), F_SETFL, fileFlags & ~O_NONBLOCK);
    return opened;
}

void WebDirectory::ReplaceAtomically(std::string_view name, std::span<const uint8_t> contents) const {
    CheckName(path_, name);
    const std::filesystem::path shown = path_ / std::string(name);
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = "." + std::string(name) + "." + RandomSuffix();
        file = FileDescriptor(::openat(descriptor(), temporary.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file.valid() && errno != EEXIST) break;
    }
    if (!file.valid()) throw FileError(Describe(shown, "cannot create a temporary file", errno));
    std::string failure;
    if (!WriteAll(file.get(), contents.data(), contents.size())) failure = Describe(shown, "cannot write", errno);
    if (failure.empty() && ::fsync(file.get()) != 0) failure = Describe(shown, "cannot write", errno);
    if (!file.Close() && failure.empty()) failure = Describe(shown, "cannot write", errno);
    if (failure.empty() && ::renameat(descriptor(), temporary.c_str(), descriptor(), std::string(name).c_str()) != 0) {
        failure = Describe(shown, "cannot replace", errno);
    }
    if (!failure.empty()) {
        ::unlinkat(descriptor(), temporary.c_str(), 0);
        throw FileError(failure);
    }
}

void WebDirectory::ReplaceAtomically(std::string_view name, std::string_view contents) const {
    ReplaceAtomically(name, std::span(reinterpret_cast<const uint8_t*>(contents.data()), contents.size()));
}

void WebDirectory::AppendLine(std::string_view name, std::string_view line) const {
    FileDescriptor file = OpenForWriting(name, WriteMode::CreateOrAppend);
    const ssize_t written = ::write(file.get(), line.data(), line.size());
    const int writeError = errno;
    if (written != static_cast<ssize_t>(line.size())) {
        throw FileError(Describe(path_ / std::string(name), "cannot append", written < 0 ? writeError : ENOSPC));
    }
    if (!file.Close()) throw FileError(Describe(path_ / std::string(name), "cannot append", errno));
}

bool WebDirectory::RemoveRegularFile(std::string_view name) const {
    CheckName(path_, name);
    const std::string entry(name);
    const std::filesystem::path shown = path_ / entry;
    struct stat status {};
    if (::fstatat(descriptor(), entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return false;
        throw FileError(Describe(shown, "cannot remove", errno));
    }
    if (!S_ISREG(status.st_mode)) throw FileError(Describe(shown, "not a regular file; not removed", 0));
    if (::unlinkat(descriptor(), entry.c_str(), 0) != 0) {
        if (errno == ENOENT) return false;
        throw FileError(Describe(shown, "cannot remove", errno));
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
    CheckName(path_, name);
    return RemoveStaleMatching(*this, name, age);
}

int WebDirectory::RemoveAllStaleTemporaries(std::chrono::seconds age) const {
    return RemoveStaleMatching(*this, {}, age);
}

std::vector<std::string> WebDirectory::Names() const {
    std::vector<std::string> names;
    const int copy = ::openat(descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) throw FileError(Describe(path_, "cannot list", errno));
    DIR* listing = ::fdopendir(copy);
    if (listing == nullptr) {
        const int error = errno;
        ::close(copy);
        throw FileError(Describe(path_, "cannot list", error));
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
