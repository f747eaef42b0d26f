// archindex: rebuilds the archive's index page. Run it in the web directory;
// it takes no arguments and ignores any that are given.
#include <csignal>
#include <cstdio>
#include <new>

#include "archive_index.h"

namespace {

archindex::RunOutcome Run() {
  try {
    return archindex::BuildArchiveIndex();
  } catch (const std::bad_alloc&) {
    // The temporary page, if any, was removed when its owner unwound.
    return {4, "Out of memory!\n"};
  }
}

}  // namespace

int main() {
  // Past a file size limit a write then fails like any other, and the failed page is cleaned
  // up, instead of the process dying with its temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  const archindex::RunOutcome outcome = Run();
  std::fwrite(outcome.message.data(), 1, outcome.message.size(), stdout);
  return outcome.status;
}
