// archindex: rebuilds the archive's index page. Run it in the web directory;
// it takes no arguments and ignores any that are given.
#include <cstdio>

#include "archive_index.h"

int main() {
  const archindex::RunOutcome outcome = archindex::BuildArchiveIndex();
  std::fwrite(outcome.message.data(), 1, outcome.message.size(), stdout);
  return outcome.status;
}
