// Sending one file to a remote target; the uploader's seam to the network.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

// A local file opened for sending: read from its descriptor, never held in memory whole.
struct LocalFile {
    int descriptor = -1;
    std::uint64_t size = 0;  // as found when it was opened
};

// Who a failure is about, which decides what the uploader does next.
enum class FailureScope {
    Target,       // the connection, the login or the server as a whole: the target waits, the job keeps its place
    File,         // the server refused this file in a way that may pass (FTP/SFTP): counted against the job
    FileRefused,  // the server refused this file for good (an HTTP 4xx about it): the job is held at once
};

struct SendResult {
    bool ok = false;
    std::string error;  // why it failed, ready for a log line
    FailureScope scope = FailureScope::Target;
    std::string note;   // something done on the way that the log should tell (a host key recorded)
};

class Transport {
public:
    virtual ~Transport() = default;
    // Puts the file at `path` (a public path) on the remote side so that readers there see the
    // old file or the new one whole, never a part.
    virtual SendResult Send(const std::string& path, const LocalFile& file) = 0;
};

}  // namespace tessel
