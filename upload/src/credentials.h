// The secrets of an upload target: from the credentials file its section names (refused when
// other accounts may read it) and from the environment (TESSEL_UPLOAD_<NAME>_<KEY>, which wins).
// They are handed to libcurl directly and never put into a url, an argument, a log or a status.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "credentials_file.h"
#include "upload_target.h"

namespace tessel {

struct Credentials {
    std::string user;
    std::string password;
    std::string privateKey;     // SFTP: private key file
    std::string publicKey;      // SFTP: public key file, when it is not the private key's name + ".pub"
    std::string keyPassphrase;  // SFTP: passphrase of the private key
    std::string accessKeyId;    // S3
    std::string secretAccessKey;  // S3

    // The values that must never be shown (passwords, passphrases, secret keys).
    std::vector<std::string> Secrets() const;
};

using EnvironmentLookup = std::function<const char*(const char*)>;

// The target's credentials, or nothing with `error` set (the file is readable by others, is not
// a regular file, or holds a line that is not understood).
std::optional<Credentials> LoadCredentials(const UploadTarget& target, const EnvironmentLookup& environment,
                                           std::string& error);

// Why the target may not use its credentials, "" when it may: a password over http:// or ftp://
// would cross the network in clear, which only allow_insecure = yes permits.
std::string RefusalInClear(const UploadTarget& target, const Credentials& credentials);

}  // namespace tessel
