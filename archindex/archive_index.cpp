#include "archive_index.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "directory_listing.h"
#include "index_page.h"
#include "name_list.h"
#include "replacement_file.h"
#include "web_directory.h"

namespace archindex {
namespace {

// A run takes well under a second even for a large archive; a temporary page this old was
// left by a run that was killed.
constexpr std::chrono::minutes kStaleTemporaryAge{5};

bool IsLink(const char* name) {
  struct stat status {};
  return lstat(name, &status) == 0 && S_ISLNK(status.st_mode);
}

}  // namespace

RunOutcome BuildArchiveIndex() {
  // "archive" may be a link to a directory on a bigger disk, but only one that this account (or
  // root) set up: a link another account planted must not make us write elsewhere.
  try {
    const tessel::WebDirectory archive =
        tessel::WebDirectory::Open(".").Subdirectory("archive", tessel::DirectoryLinks::FollowIfOwned);
    if (fchdir(archive.descriptor()) != 0) return {1, "Couldn't change to \"archive\" directory!\n"};
  } catch (const tessel::FileError&) {
    if (IsLink("archive")) return {1, "Refused the \"archive\" link: it or its directory belongs to another account!\n"};
    return {1, "Couldn't change to \"archive\" directory!\n"};
  }
  ReplacementFile::RemoveStaleTemporaries("index.html", kStaleTemporaryAge);

  const auto page = ReplacementFile::Open("index.html");
  if (!page) return {2, "Couldn't open \"index.html\" for writing!\n"};

  NameList names;
  ListJpgEntries(names);
  names.SortByByteOrder();
  WriteIndexPage(names, page->writer());
  if (!page->Commit()) return {3, "Couldn't write \"index.html\"!\n"};
  return {0, ""};
}

}  // namespace archindex
