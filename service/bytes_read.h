// The bytes this process's threads have read (the kernel's `rchar` count of each thread, from
// /proc/self/task/*/io), leaving out the calling thread, whose own reading of those files would
// otherwise count as progress. 0 when /proc cannot tell.
#pragma once

#include <cstdint>

namespace tessel::service {

uint64_t BytesReadByOtherThreads();

}  // namespace tessel::service
