// Remote publishing targets: the `[upload NAME]` sections of the converter's settings file
// pictrex.ini. Each target receives the web directory's public files under the same layout.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

enum class TargetKind { Sftp, Ftp, Ftps, WebDav, S3 };

struct UploadTarget {
    std::string name;             // letters, digits, '-' and '_'; names its spool folder
    TargetKind kind = TargetKind::Sftp;
    std::string url;              // as written, always ending in '/' (never with a password)
    std::string endpoint;         // S3: the service's base URL, e.g. https://s3.example.net
    std::string region = "us-east-1";  // S3: the signing region
    std::string credentialsFile;  // file with user/password/keys; must not be readable by others
    std::string knownHosts;       // SFTP: OpenSSH known_hosts file the server's key must be in
    std::string caFile;           // FTPS/HTTPS: certificate authority file for a private certificate
    double connectTimeout = 10;   // seconds to establish a connection
    double lowSpeedTime = 20;     // seconds below 1 KiB/s before a transfer is abandoned
    double maxTime = 300;         // seconds one file may take at most, everything included
    double retryFirst = 5;        // seconds to wait after a first failure, doubled after each next one
    double retryLongest = 600;    // the longest wait between attempts
    std::size_t queueLimit = 20000;  // jobs in the target's queue before replaceable ones are dropped
};

struct UploadTargets {
    std::vector<UploadTarget> targets;
    std::vector<std::string> warnings;  // one per line or section that was not understood
};

// The targets in the `[upload NAME]` sections of a settings text; lines of other sections and
// outside any section are left to their readers. A section without a usable url is dropped
// with a warning, as is a second section of the same name.
UploadTargets ParseUploadTargets(std::string_view settingsText);

// True when a target name may be used (it becomes a folder name).
bool IsValidTargetName(std::string_view name);

}  // namespace tessel
