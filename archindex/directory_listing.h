#pragma once

#include <string_view>

#include "name_list.h"

namespace archindex {

// True when `name` matches the pattern "*.jpg" with the extension compared
// without regard to ASCII case: "a.jpg", "B.JPG" and ".jpg" match, "a.jpeg"
// does not.
bool MatchesJpgPattern(std::string_view name);

// Adds to `names` every entry of the current directory whose name matches
// "*.jpg": files, subdirectories and hidden entries alike, in the order the
// directory yields them. A directory that cannot be read adds nothing; a
// listing that breaks off midway keeps the entries read until then.
void ListJpgEntries(NameList& names);

}  // namespace archindex
