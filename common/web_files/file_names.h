// The names the web-directory file operations accept, and the temporary names they give the new
// versions of files before renaming them into place.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessel {

// Checks that `name` is one plain entry name, so that no operation reaches outside `directory`.
// Throws FileError.
void CheckEntryName(const std::filesystem::path& directory, std::string_view name);

// A fresh temporary name for a new version of `name`: ".<name>.XXXXXX", six random letters or digits.
std::string TemporaryNameFor(std::string_view name);

// Whether `entry` is a name TemporaryNameFor gives `name`; an empty `name` stands for any name.
bool IsTemporaryName(std::string_view entry, std::string_view name);

}  // namespace tessel
