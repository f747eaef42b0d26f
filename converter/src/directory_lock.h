// Serialising the converter's runs on one web directory.
#pragma once

#include <string_view>

#include "web_directory.h"

namespace pictrex {

// An exclusive lock on a lock file in the web directory, held until destruction; waits while
// another run holds it. The lock file is opened without following a link, so a link planted in
// its place is refused instead of creating or touching its target.
class DirectoryLock {
public:
    DirectoryLock(const tessel::WebDirectory& directory, std::string_view name);  // throws tessel::FileError

private:
    tessel::FileDescriptor descriptor_;
};

}  // namespace pictrex
