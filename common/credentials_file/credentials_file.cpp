#include "credentials_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "file_descriptor.h"
#include "ini_text.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestCredentialsFile = 64 * 1024;

// Reads the file, refusing one that group or others may read or write.
bool ReadPrivateFile(const std::string& file, std::string& text, std::string& error)
{
    FileDescriptor descriptor(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!descriptor.valid() || ::fstat(descriptor.get(), &status) != 0) {
        error = "credentials file " + file + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = "credentials file " + file + " is not a regular file";
        return false;
    }
    if ((status.st_mode & 077) != 0) {
        error = "credentials file " + file + " refused: other accounts may read it (chmod 600 it)";
        return false;
    }
    if (status.st_size > static_cast<off_t>(kLongestCredentialsFile)) {
        error = "credentials file " + file + " is too large";
        return false;
    }
    text.resize(static_cast<std::size_t>(status.st_size));
    const ssize_t got = ::read(descriptor.get(), text.data(), text.size());
    if (got < 0) {
        error = "credentials file " + file + ": " + std::strerror(errno);
        return false;
    }
    text.resize(static_cast<std::size_t>(got));
    return true;
}

}  // namespace

std::optional<CredentialValues> ReadCredentialsFile(const std::string& file,
                                                    const std::vector<std::string_view>& knownKeys,
                                                    std::string& error)
{
    std::string text;
    if (!ReadPrivateFile(file, text, error)) return std::nullopt;
    CredentialValues values;
    for (IniLines lines(text); lines.Next();) {
        const auto pair = SplitKeyValue(lines.Line());
        if (!pair || std::find(knownKeys.begin(), knownKeys.end(), pair->key) == knownKeys.end()) {
            error = file + ": credentials file line " + std::to_string(lines.LineNumber()) + " not understood";
            return std::nullopt;
        }
        values.insert_or_assign(std::string(pair->key), std::string(pair->value));
    }
    return values;
}

std::string WithoutSecrets(std::string text, const std::vector<std::string>& secrets)
{
    for (const auto& secret : secrets) {
        if (secret.empty()) continue;
        for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
            text.replace(at, secret.size(), "***");
        }
    }
    return text;
}

}  // namespace tessel
