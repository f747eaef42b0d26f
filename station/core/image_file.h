// The image file of one picture while it is being stored. It is removed again unless the whole
// picture reached the disk, also when an exception leaves the cycle before the write, so that no
// partial picture is left for the converter.
//
// The web directory may be writable by other accounts and picture names are predictable, so the
// file is made new (a regular file of that name is replaced) and never opened through a link:
// a link planted under the name is refused and left alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "web_directory.h"

namespace tessel {

class ImageFile {
public:
    // Creates the file `name` in the current directory.
    explicit ImageFile(std::string name);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile();

    bool IsOpen() const { return file_.valid(); }
    // The file was not opened because a symbolic link stands under its name.
    bool RefusedLink() const { return refusedLink_; }
    // Writes `size` bytes in one piece and closes the file. False when the write or the close
    // failed; the file is then removed.
    bool WriteAndClose(const uint8_t* data, std::size_t size);
    // Why the file could not be created or written, naming the file.
    const std::string& Error() const { return error_; }

private:
    void Remove();

    std::string name_;
    std::optional<WebDirectory> directory_;
    FileDescriptor file_;  // open until written, or until the destructor removes the file
    bool refusedLink_ = false;
    std::string error_;
};

}  // namespace tessel
