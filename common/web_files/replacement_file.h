// A new version of a file in a web directory, written in pieces under a temporary name
// ".<name>.XXXXXX" beside it and renamed over the file only once it is whole and on disk: readers
// see the old file or the new one, never a part. The one way the programs publish a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "file_descriptor.h"
#include "web_directory.h"

namespace tessel {

class ReplacementFile {
public:
    // Creates the temporary file for `name` in `directory` (mode 0666 less the umask); the
    // directory must outlive this object. Throws FileError.
    ReplacementFile(const WebDirectory& directory, std::string_view name);
    // Removes the temporary file unless it was published.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The temporary file, open for writing, for a writer of its own such as a child process.
    int descriptor() const { return file_.get(); }

    // Appends `bytes`. Throws FileError.
    void Write(std::span<const uint8_t> bytes);

    // Flushes the file to disk, closes it and renames it over `name`. Throws FileError; the old
    // file is then left as it was.
    void Publish();

private:
    std::filesystem::path Shown() const { return directory_.path() / name_; }

    const WebDirectory& directory_;
    std::string name_;
    std::string temporary_;
    FileDescriptor file_;
    bool published_ = false;
};

}  // namespace tessel
