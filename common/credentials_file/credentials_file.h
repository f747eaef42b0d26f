// Secrets kept in a file of `key = value` lines that only its owner may read (mode 600): the
// credentials of upload targets and of cameras. The lines are never quoted in an error, since
// any of them may hold a secret.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

using CredentialValues = std::map<std::string, std::string, std::less<>>;

// The file's values by key, or nothing with `error` set: the file is missing, not a regular file,
// readable or writable by group or others, too large, or holds a line whose key is not one of
// `knownKeys`.
std::optional<CredentialValues> ReadCredentialsFile(const std::string& file,
                                                    const std::vector<std::string_view>& knownKeys,
                                                    std::string& error);

// `text` with every non-empty secret replaced by "***".
std::string WithoutSecrets(std::string text, const std::vector<std::string>& secrets);

}  // namespace tessel
