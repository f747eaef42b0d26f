#include "atomic_file.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictrex {
namespace {

std::string Reason(const std::string& what, const std::filesystem::path& file) {
    return what + " " + file.string() + ": " + std::strerror(errno);
}

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

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::span<const uint8_t> contents) {
    const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0) throw FileError(Reason("cannot create a temporary file for", target));
    const std::filesystem::path temporary(name.data());
    // Readable by the web server like any other file in the directory.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    std::string failure = WriteAll(descriptor, contents.data(), contents.size()) ? "" : Reason("cannot write", target);
    if (::close(descriptor) != 0 && failure.empty()) failure = Reason("cannot write", target);
    if (!failure.empty()) {
        ::unlink(temporary.c_str());
        throw FileError(failure);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const std::string reason = Reason("cannot replace", target);
        ::unlink(temporary.c_str());
        throw FileError(reason);
    }
}

void WriteFileAtomically(const std::filesystem::path& target, const std::string& contents) {
    WriteFileAtomically(target, std::span(reinterpret_cast<const uint8_t*>(contents.data()), contents.size()));
}

DirectoryLock::DirectoryLock(const std::filesystem::path& lockFile)
    : descriptor_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (descriptor_ < 0) throw FileError(Reason("cannot open the lock file", lockFile));
    while (::flock(descriptor_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const std::string reason = Reason("cannot lock", lockFile);
            ::close(descriptor_);
            throw FileError(reason);
        }
    }
}

DirectoryLock::~DirectoryLock() { ::close(descriptor_); }

}  // namespace pictrex
