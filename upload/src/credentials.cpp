#include "credentials.h"

#include <cctype>

namespace tessel {
namespace {

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
        std::vector<std::string_view> keys;
        for (const Field& field : kFields) keys.emplace_back(field.key);
        const auto values = ReadCredentialsFile(target.credentialsFile, keys, error);
        if (!values) return std::nullopt;
        for (const Field& field : kFields) {
            if (const auto value = values->find(field.key); value != values->end()) {
                credentials.*(field.member) = value->second;
            }
        }
    }
    for (const Field& field : kFields) {
        const char* value = environment(EnvironmentName(target.name, field.key).c_str());
        if (value && *value) credentials.*(field.member) = value;
    }
    return credentials;
}

std::string RefusalInClear(const UploadTarget& target, const Credentials& credentials) {
    const bool inClear = target.url.rfind("http://", 0) == 0 || target.url.rfind("ftp://", 0) == 0;
    if (!inClear || credentials.password.empty() || target.allowInsecure) return {};
    return "its password would be sent in clear over " + target.url.substr(0, target.url.find(':')) +
           "://; use https:// (or ftps://), or set allow_insecure = yes";
}

}  // namespace tessel
