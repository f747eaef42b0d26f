#pragma once

#include <string_view>

namespace archindex {

// How a run ended: the process's exit status and the one line, possibly
// empty, that goes to standard output.
struct RunOutcome {
  int status;
  std::string_view message;
};

// Changes into the subdirectory "archive" of the current directory and
// rebuilds "index.html" there, listing every "*.jpg" entry in byte order.
// The old page is replaced only by a completely written new one. Temporary
// pages that killed runs left behind are removed once a few minutes old.
RunOutcome BuildArchiveIndex();

}  // namespace archindex
