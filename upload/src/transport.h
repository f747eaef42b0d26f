// Sending one file to a remote target; the uploader's seam to the network.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

struct SendResult {
    bool ok = false;
    std::string error;  // why it failed, ready for a log line
};

class Transport {
public:
    virtual ~Transport() = default;
    // Puts `bytes` at `path` (a public path) on the remote side so that readers there see the
    // old file or the new one whole, never a part.
    virtual SendResult Send(const std::string& path, std::string_view bytes) = 0;
};

}  // namespace tessel
