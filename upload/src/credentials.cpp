#include "credentials.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_descriptor.h"
#include "ini_text.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestCredentialsFile = 64 * 1024;

struct Field {
    const char* key;
    std::string Credentials::*member;
};

constexpr Field kFields[] = {
    {"user", &Credentials::user},
    {"password", &Credentials::password},
    {"private_key", &Credentials::privateKey},
    {"public_key", &Credentials::publicKey},
    {"key_passphrase", &Credentials::keyPassphrase},
    {"access_key_id", &Credentials::accessKeyId},
    {"secret_access_key", &Credentials::secretAccessKey},
};

// Reads the credentials file, refusing one that group or others may read or write.
bool ReadPrivateFile(const std::string& file, std::string& text, std::string& error) {
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

bool ParseCredentials(std::string_view text, Credentials& credentials, std::string& error) {
    for (IniLines lines(text); lines.Next();) {
        const auto pair = SplitKeyValue(lines.Line());
        const auto field = std::find_if(std::begin(kFields), std::end(kFields),
                                        [&](const Field& f) { return pair && pair->key == f.key; });
        if (field == std::end(kFields)) {
            // The line itself is not shown: it may be a secret.
            error = "credentials file line " + std::to_string(lines.LineNumber()) + " not understood";
            return false;
        }
        credentials.*(field->member) = std::string(pair->value);
    }
    return true;
}

std::string EnvironmentName(const std::string& target, const char* key) {
    std::string name = "TESSEL_UPLOAD_" + target + "_" + key;
    for (char& c : name) c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace

std::vector<std::string> Credentials::Secrets() const { return {password, keyPassphrase, secretAccessKey}; }

std::optional<Credentials> LoadCredentials(const UploadTarget& target, const EnvironmentLookup& environment,
                                           std::string& error) {
    Credentials credentials;
    if (!target.credentialsFile.empty()) {
        std::string text;
        if (!ReadPrivateFile(target.credentialsFile, text, error)) return std::nullopt;
        if (!ParseCredentials(text, credentials, error)) {
            error = target.credentialsFile + ": " + error;
            return std::nullopt;
        }
    }
    for (const Field& field : kFields) {
        const char* value = environment(EnvironmentName(target.name, field.key).c_str());
        if (value && *value) credentials.*(field.member) = value;
    }
    return credentials;
}

std::string WithoutSecrets(std::string text, const std::vector<std::string>& secrets) {
    for (const auto& secret : secrets) {
        if (secret.empty()) continue;
        for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
            text.replace(at, secret.size(), "***");
        }
    }
    return text;
}

}  // namespace tessel
