// archindex: rebuilds the archive's index page. Run it in the web directory;
// it takes no arguments and ignores any that are given.
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
  const archindex::RunOutcome outcome = Run();
  std::fwrite(outcome.message.data(), 1, outcome.message.size(), stdout);
  return outcome.status;
}
