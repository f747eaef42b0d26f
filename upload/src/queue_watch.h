// Waiting for the next retry without polling: the uploader sleeps until its next attempt is due,
// or until the converter queues a new job (a file created in a target's spool folder).
#pragma once

#include <string>
#include <vector>

#include "file_descriptor.h"
#include "web_directory.h"

namespace tessel {

class QueueWatch {
public:
    // Watches upload-spool/<target> of each target (creating the folders when missing). Without
    // the kernel's file notifications it falls back to looking once a second.
    QueueWatch(const WebDirectory& web, const std::vector<std::string>& targets);

    // Returns after `seconds`, or earlier once a job has been queued since the last call.
    void Wait(double seconds);

private:
    FileDescriptor notifications_;
};

}  // namespace tessel
