#include "web_directory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessel {
namespace {

std::string Reason(const std::string& what, const std::filesystem::path& file, int error) {
    return what + " " + file.string() + ": " + std::strerror(error);
}

bool OwnedByUsOrRoot(const struct stat& status) {
    return status.st_uid == 0 || status.st_uid == ::geteuid();
}

// Opens the directory `name` relative to `parent` (AT_FDCWD for a path), applying the link rule.
FileDescriptor OpenDirectoryAt(int parent, const std::filesystem::path& name, const std::filesystem::path& shown,
                               DirectoryLinks links) {
    const int plain = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (plain >= 0) return FileDescriptor(plain);
    const int error = errno;
    struct stat link {};
    if ((error != ELOOP && error != ENOTDIR) || ::fstatat(parent, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(link.st_mode)) {
        throw FileError(Reason("cannot open the directory", shown, error));
    }
    if (links == DirectoryLinks::Refuse) {
        throw FileError("refused " + shown.string() + ": it is a symbolic link");
    }
    if (!OwnedByUsOrRoot(link)) {
        throw FileError("refused " + shown.string() + ": a symbolic link that belongs to another account");
    }
    FileDescriptor target(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!target.valid()) throw FileError(Reason("cannot open the directory", shown, errno));
    struct stat status {};
    if (::fstat(target.get(), &status) != 0) throw FileError(Reason("cannot examine", shown, errno));
    if (!OwnedByUsOrRoot(status)) {
        throw FileError("refused " + shown.string() + ": it links to a directory that belongs to another account");
    }
    return target;
}

// Reads an open descriptor of a regular file up to `limit` bytes.
FileRead ReadOpened(FileDescriptor descriptor, const std::filesystem::path& shown, std::size_t limit) {
    FileRead result;
    struct stat status {};
    if (::fstat(descriptor.get(), &status) != 0) {
        result.error = Reason("cannot examine", shown, errno);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.error = "refused " + shown.string() + ": not a regular file";
        return result;
    }
    if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        result.error = "refused " + shown.string() + ": larger than " + std::to_string(limit) + " bytes";
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    while (true) {
        if (got == result.bytes.size()) {
            // The file may have grown since fstat: look for more, up to the limit.
            if (got > limit) break;
            result.bytes.resize(std::min(limit + 1, got + 4096));
            if (got == result.bytes.size()) break;
        }
        const ssize_t n = ::read(descriptor.get(), result.bytes.data() + got, result.bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            result.error = Reason("cannot read", shown, errno);
            result.bytes.clear();
            return result;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    result.bytes.resize(got);
    if (got > limit) {
        result.error = "refused " + shown.string() + ": larger than " + std::to_string(limit) + " bytes";
        result.bytes.clear();
        return result;
    }
    result.ok = true;
    return result;
}

bool WriteAll(int descriptor, const char* data, std::size_t size) {
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

std::string RandomSuffix() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(6, 'X');
    for (char& c : suffix) c = kLetters[pick(generator)];
    return suffix;
}

bool IsTemporarySuffix(std::string_view suffix) {
    if (suffix.size() != 6) return false;
    for (char c : suffix) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// ".<name>.XXXXXX" with a name of at least one character.
bool IsTemporaryName(std::string_view entry) {
    return entry.size() >= 9 && entry[0] == '.' && entry[entry.size() - 7] == '.' &&
           IsTemporarySuffix(entry.substr(entry.size() - 6));
}

}  // namespace

WebDirectory WebDirectory::Open(const std::filesystem::path& path, DirectoryLinks links) {
    return WebDirectory(path, OpenDirectoryAt(AT_FDCWD, path, path, links));
}

WebDirectory WebDirectory::Subdirectory(std::string_view name, DirectoryLinks links, bool create) const {
    const std::filesystem::path shown = path_ / name;
    const std::string entry(name);
    if (create && ::mkdirat(descriptor(), entry.c_str(), 0777) != 0 && errno != EEXIST) {
        throw FileError(Reason("cannot create", shown, errno));
    }
    return WebDirectory(shown, OpenDirectoryAt(descriptor(), entry, shown, links));
}

FileRead WebDirectory::Read(std::string_view name, std::size_t limit) const {
    const std::filesystem::path shown = path_ / name;
    const std::string entry(name);
    FileDescriptor file(::openat(descriptor(), entry.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        FileRead result;
        result.missing = errno == ENOENT;
        result.error = errno == ELOOP ? "refused " + shown.string() + ": it is a symbolic link"
                                      : Reason("cannot open", shown, errno);
        return result;
    }
    return ReadOpened(std::move(file), shown, limit);
}

FileDescriptor WebDirectory::OpenForWriting(std::string_view name, WriteMode mode, unsigned permissions) const {
    const std::filesystem::path shown = path_ / name;
    const std::string entry(name);
    // Non-blocking so that a FIFO planted in place of the file does not wait for a reader.
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (mode == WriteMode::CreateNew) flags |= O_EXCL;
    if (mode == WriteMode::CreateOrAppend) flags |= O_APPEND;
    FileDescriptor file(::openat(descriptor(), entry.c_str(), flags, permissions));
    if (!file.valid()) {
        if (errno == ELOOP) throw FileError("refused " + shown.string() + ": it is a symbolic link");
        throw FileError(Reason("cannot open", shown, errno));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) throw FileError(Reason("cannot examine", shown, errno));
    if (!S_ISREG(status.st_mode)) throw FileError("refused " + shown.string() + ": not a regular file");
    if (::fcntl(file.get(), F_SETFL, flags & O_APPEND) != 0) throw FileError(Reason("cannot set up", shown, errno));
    if (mode == WriteMode::CreateOrTruncate && ::ftruncate(file.get(), 0) != 0) {
        throw FileError(Reason("cannot empty", shown, errno));
    }
    return file;
}

void WebDirectory::ReplaceAtomically(std::string_view name, std::span<const uint8_t> contents) const {
    ReplaceAtomically(name, std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size()));
}

void WebDirectory::ReplaceAtomically(std::string_view name, std::string_view contents) const {
    const std::filesystem::path shown = path_ / name;
    const std::string target(name);
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = "." + target + "." + RandomSuffix();
        file = FileDescriptor(
            ::openat(descriptor(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file.valid() && errno != EEXIST) break;
    }
    if (!file.valid()) throw FileError(Reason("cannot create a temporary file for", shown, errno));
    std::string failure;
    if (!WriteAll(file.get(), contents.data(), contents.size()) || ::fsync(file.get()) != 0) {
        failure = Reason("cannot write", shown, errno);
    }
    if (!file.Close() && failure.empty()) failure = Reason("cannot write", shown, errno);
    if (failure.empty() && ::renameat(descriptor(), temporary.c_str(), descriptor(), target.c_str()) != 0) {
        failure = Reason("cannot replace", shown, errno);
    }
    if (!failure.empty()) {
        ::unlinkat(descriptor(), temporary.c_str(), 0);
        throw FileError(failure);
    }
}

void WebDirectory::AppendLine(std::string_view name, std::string_view line) const {
    FileDescriptor file = OpenForWriting(name, WriteMode::CreateOrAppend);
    const ssize_t written = ::write(file.get(), line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size())) {
        throw FileError(Reason("cannot append to", path_ / name, written < 0 ? errno : ENOSPC));
    }
    if (!file.Close()) throw FileError(Reason("cannot append to", path_ / name, errno));
}

bool WebDirectory::RemoveRegularFile(std::string_view name) const {
    const std::filesystem::path shown = path_ / name;
    const std::string entry(name);
    struct stat status {};
    if (::fstatat(descriptor(), entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return false;
        throw FileError(Reason("cannot examine", shown, errno));
    }
    if (S_ISLNK(status.st_mode)) throw FileError("refused to remove " + shown.string() + ": it is a symbolic link");
    if (!S_ISREG(status.st_mode)) throw FileError("refused to remove " + shown.string() + ": not a regular file");
    if (::unlinkat(descriptor(), entry.c_str(), 0) != 0) {
        if (errno == ENOENT) return false;
        throw FileError(Reason("cannot remove", shown, errno));
    }
    return true;
}

namespace {

int RemoveStaleMatching(const WebDirectory& directory, std::chrono::seconds age,
                        bool (*matches)(std::string_view, std::string_view), std::string_view name) {
    const std::time_t oldest = std::time(nullptr) - static_cast<std::time_t>(age.count());
    int removed = 0;
    for (const std::string& entry : directory.Names()) {
        if (!matches(entry, name)) continue;
        struct stat status {};
        if (::fstatat(directory.descriptor(), entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(status.st_mode) || status.st_mtime >= oldest) continue;
        if (::unlinkat(directory.descriptor(), entry.c_str(), 0) == 0) ++removed;
    }
    return removed;
}

bool TemporaryOf(std::string_view entry, std::string_view name) {
    return entry.size() == name.size() + 8 && IsTemporaryName(entry) && entry.substr(1, name.size()) == name;
}

bool AnyTemporary(std::string_view entry, std::string_view) { return IsTemporaryName(entry); }

}  // namespace

int WebDirectory::RemoveStaleTemporaries(std::string_view name, std::chrono::seconds age) const {
    return RemoveStaleMatching(*this, age, TemporaryOf, name);
}

int WebDirectory::RemoveAllStaleTemporaries(std::chrono::seconds age) const {
    return RemoveStaleMatching(*this, age, AnyTemporary, {});
}

std::vector<std::string> WebDirectory::Names() const {
    std::vector<std::string> names;
    const int copy = ::openat(descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) throw FileError(Reason("cannot list", path_, errno));
    DIR* listing = ::fdopendir(copy);
    if (listing == nullptr) {
        const int error = errno;
        ::close(copy);
        throw FileError(Reason("cannot list", path_, error));
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view entryName(entry->d_name);
        if (entryName != "." && entryName != "..") names.emplace_back(entryName);
    }
    ::closedir(listing);
    return names;
}

FileRead ReadRegularFile(const std::filesystem::path& file, std::size_t limit) {
    FileDescriptor opened(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!opened.valid()) {
        FileRead result;
        result.missing = errno == ENOENT;
        result.error = Reason("cannot open", file, errno);
        return result;
    }
    return ReadOpened(std::move(opened), file, limit);
}

}  // namespace tessel
