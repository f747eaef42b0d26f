#include "bytes_read.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace tessel::service {
namespace {

// The `rchar:` line of a task's io file; 0 when it cannot be read (the thread just ended).
uint64_t CharactersRead(const std::filesystem::path& task)
{
    std::ifstream io(task / "io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return 0;
}

}  // namespace

uint64_t BytesReadByOtherThreads()
{
    const std::string self = std::to_string(gettid());
    std::error_code error;
    uint64_t total = 0;
    std::filesystem::directory_iterator tasks("/proc/self/task", error);
    for (; !error && tasks != std::filesystem::directory_iterator(); tasks.increment(error)) {
        if (tasks->path().filename() != self) {
            total += CharactersRead(tasks->path());
        }
    }
    return total;
}

}  // namespace tessel::service
