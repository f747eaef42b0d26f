// Remote publishing targets: the `[upload NAME]` sections of the converter's settings file
// pictrex.ini. Each target receives the web directory's public files under the same layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "upload_file_names.h"

namespace tessel {

enum class TargetKind { Sftp, Ftp, Ftps, WebDav, S3 };

struct UploadTarget {
    std::string name;             // letters, digits, '-' and '_'; names its spool folder
    TargetKind kind = TargetKind::Sftp;
    std::string url;              // as written, always ending in '/' (never with a password)
    std::string endpoint;         // S3: the service's base URL, e.g. https://s3.example.net
    std::string region = "us-east-1";  // S3: the signing region
    std::string credentialsFile;  // file with user/password/keys; must not be readable by others
    std::string knownHosts;       // SFTP: OpenSSH known_hosts file the server's key must be in;
                                  // empty: the system's and the account's known-hosts files
    bool acceptNewHostKey = false;  // SFTP: a host key found in no known-hosts file is accepted and recorded
    bool allowInsecure = false;     // credentials may be sent over http:// or ftp:// (in clear)
    std::string caFile;           // FTPS/HTTPS: certificate authority file for a private certificate
    double connectTimeout = 10;   // seconds to establish a connection
    double lowSpeedTime = 20;     // seconds below 1 KiB/s before a transfer is abandoned
    double maxTime = 300;         // seconds one file may take at most, everything included
    double retryFirst = 5;        // seconds to wait after a first failure, doubled after each next one
    double retryLongest = 600;    // the longest wait between attempts
    double retryHeld = 3600;      // seconds between attempts at a job held after its file was refused
    std::size_t queueLimit = 20000;  // jobs in the target's queue before replaceable ones are dropped
    std::uint64_t maxUploadBytes = std::uint64_t{512} << 20;  // larger files are refused, not sent
};

struct UploadTargets {
    std::vector<UploadTarget> targets;
    // One per line or section that was not understood, naming the file, the line and why
    // ("pictrex.ini line 4: [upload web] ..."); never quoting a value, which may be a secret.
    std::vector<std::string> warnings;
};

// The targets in the `[upload NAME]` sections of a settings text read from `fileName`; lines of
// other sections and outside any section are left to their readers. A section without a usable
// url, an S3 section without endpoint, a section with a bad name and a second section of the same
// name are dropped; a line that is not understood is ignored (a bad value keeps the default).
// Each of these gives a warning.
UploadTargets ParseUploadTargets(std::string_view settingsText, std::string_view fileName = kSettingsName);

// True when a target name may be used (it becomes a folder name).
bool IsValidTargetName(std::string_view name);

}  // namespace tessel
