#include "archive_index.h"

#include <unistd.h>

#include <chrono>

#include "directory_listing.h"
#include "index_page.h"
#include "name_list.h"
#include "replacement_file.h"

namespace archindex {
namespace {

// A run takes well under a second even for a large archive; a temporary page this old was
// left by a run that was killed.
constexpr std::chrono::minutes kStaleTemporaryAge{5};

}  // namespace

RunOutcome BuildArchiveIndex() {
  if (chdir("archive") != 0) return {1, "Couldn't change to \"archive\" directory!\n"};
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
