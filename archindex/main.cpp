// archindex: rebuilds the archive's index page. Run it in the web directory;
// it takes no arguments and ignores any that are given.
#include <csignal>
#include <cstdio>

#include "archive_index.h"

int main() {
  // Past a file size limit a write then fails like any other, and the failed page is cleaned
  // up, instead of the process dying with its temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  const archindex::RunOutcome outcome = archindex::BuildArchiveIndex();
  std::fwrite(outcome.message.data(), 1, outcome.message.size(), stdout);
  return outcome.status;
}
