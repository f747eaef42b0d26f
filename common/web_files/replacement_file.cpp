#include "replacement_file.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "file_error.h"
#include "file_names.h"

namespace tessel {
namespace {

constexpr int kNameAttempts = 100;

}  // namespace

ReplacementFile::ReplacementFile(const WebDirectory& directory, std::string_view name)
    : directory_(directory), name_(name) {
    CheckEntryName(directory.path(), name);
    for (int attempt = 0; attempt < kNameAttempts && !file_.valid(); ++attempt) {
        temporary_ = TemporaryNameFor(name);
        file_ = FileDescriptor(::openat(directory.descriptor(), temporary_.c_str(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file_.valid() && errno != EEXIST) break;
    }
    if (!file_.valid()) throw FileError(FileProblem(Shown(), "cannot create a temporary file", errno));
}

ReplacementFile::~ReplacementFile() {
    if (published_) return;
    file_.Close();
    ::unlinkat(directory_.descriptor(), temporary_.c_str(), 0);
}

void ReplacementFile::Write(std::span<const uint8_t> bytes) {
    if (!WriteAll(file_.get(), bytes)) throw FileError(FileProblem(Shown(), "cannot write", errno));
}

void ReplacementFile::Publish() {
    if (::fsync(file_.get()) != 0 || !file_.Close()) throw FileError(FileProblem(Shown(), "cannot write", errno));
    if (::renameat(directory_.descriptor(), temporary_.c_str(), directory_.descriptor(), name_.c_str()) != 0) {
        throw FileError(FileProblem(Shown(), "cannot replace", errno));
    }
    published_ = true;
}

}  // namespace tessel
