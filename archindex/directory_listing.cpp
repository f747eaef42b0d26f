#include "directory_listing.h"

#include <dirent.h>

namespace archindex {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view lower_suffix) {
  if (text.size() < lower_suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - lower_suffix.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (AsciiLower(tail[i]) != lower_suffix[i]) return false;
  }
  return true;
}

}  // namespace

bool MatchesJpgPattern(std::string_view name) { return EndsWithIgnoringAsciiCase(name, ".jpg"); }

void ListJpgEntries(NameList& names) {
  DIR* const directory = opendir(".");
  if (directory == nullptr) return;
  for (;;) {
    const dirent* const entry = readdir(directory);
    if (entry == nullptr) break;  // the end, or a read error: keep what was read
    if (MatchesJpgPattern(entry->d_name)) names.Add(entry->d_name);
  }
  closedir(directory);
}

}  // namespace archindex
