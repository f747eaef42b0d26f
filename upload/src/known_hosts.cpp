#include "known_hosts.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <openssl/evp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_descriptor.h"
#include "web_directory.h"

namespace tessel {
namespace {

constexpr const char* kSystemKnownHosts = "/etc/ssh/ssh_known_hosts";
constexpr std::size_t kLongestKnownHosts = 4 << 20;

// The key types libssh2 reads from a known-hosts file.
constexpr std::string_view kReadableKeyTypes[] = {"ssh-rsa", "ssh-dss", "ssh-ed25519", "ecdsa-sha2-nistp256",
                                                  "ecdsa-sha2-nistp384", "ecdsa-sha2-nistp521"};

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while ((start = line.find_first_not_of(" \t\r", start)) != std::string_view::npos) {
        const auto end = std::min(line.find_first_of(" \t\r", start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = end;
    }
    return fields;
}

std::string KeyTypeOf(std::string_view base64Key) {
    // The key blob starts with its type name as an SSH string (a 32-bit length, then the name).
    const std::string head(base64Key.substr(0, std::min<std::size_t>(base64Key.size(), 64) / 4 * 4));
    unsigned char blob[64];
    const int decoded = EVP_DecodeBlock(blob, reinterpret_cast<const unsigned char*>(head.data()), static_cast<int>(head.size()));
    if (decoded < 4) return {};
    const std::size_t length = (std::size_t{blob[0]} << 24) | (std::size_t{blob[1]} << 16) | (std::size_t{blob[2]} << 8) | blob[3];
    if (length == 0 || 4 + length > static_cast<std::size_t>(decoded)) return {};
    std::string type(reinterpret_cast<const char*>(blob + 4), length);
    const bool plain = std::all_of(type.begin(), type.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '@' || c == '.';
    });
    return plain ? type : std::string();
}

}  // namespace

std::string AccountHome() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    const passwd* entry = ::getpwuid(::geteuid());
    return entry && entry->pw_dir ? entry->pw_dir : "/";
}

KnownHostsFiles KnownHostsFor(const UploadTarget& target, const std::string& home) {
    if (!target.knownHosts.empty()) return {{target.knownHosts}, target.knownHosts};
    const std::string account = (std::filesystem::path(home) / ".ssh" / "known_hosts").string();
    return {{kSystemKnownHosts, account}, account};
}

UsableKnownHosts ReadKnownHosts(const std::vector<std::string>& files) {
    UsableKnownHosts usable;
    for (const auto& file : files) {
        const FileRead read = ReadRegularFile(file, kLongestKnownHosts);
        if (!read.ok) continue;
        std::string_view rest = read.bytes;
        while (!rest.empty()) {
            const auto end = std::min(rest.find('\n'), rest.size());
            const std::string_view line = rest.substr(0, end);
            rest = rest.substr(std::min(end + 1, rest.size()));
            const auto fields = Fields(line);
            if (fields.size() < 3 || fields[0][0] == '#') continue;
            if (fields[0] == "@revoked" && fields.size() >= 4) {
                usable.revokedKeys.emplace_back(fields[3]);
                continue;
            }
            if (fields[0][0] == '@') continue;  // e.g. @cert-authority, which the library cannot use
            if (std::find(std::begin(kReadableKeyTypes), std::end(kReadableKeyTypes), fields[1]) == std::end(kReadableKeyTypes)) {
                continue;
            }
            usable.lines.append(fields[0]).append(" ").append(fields[1]).append(" ").append(fields[2]).append("\n");
        }
    }
    return usable;
}

SshServer ServerOfUrl(std::string_view url) {
    SshServer server;
    const auto start = url.find("://") == std::string_view::npos ? 0 : url.find("://") + 3;
    std::string_view authority = url.substr(start, url.find('/', start) - start);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
    std::string_view port;
    if (!authority.empty() && authority[0] == '[') {
        const auto close = authority.find(']');
        server.host = std::string(authority.substr(1, close - 1));
        if (close != std::string_view::npos && close + 1 < authority.size() && authority[close + 1] == ':') {
            port = authority.substr(close + 2);
        }
    } else {
        const auto colon = authority.find(':');
        server.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    }
    if (!port.empty()) server.port = std::atoi(std::string(port).c_str());
    return server;
}

std::string KnownHostsLine(const SshServer& server, std::string_view base64Key) {
    const std::string type = KeyTypeOf(base64Key);
    if (type.empty()) return {};
    const std::string host = server.port == 22 ? server.host : "[" + server.host + "]:" + std::to_string(server.port);
    return host + " " + type + " " + std::string(base64Key) + "\n";
}

bool RecordHostKey(const std::string& file, const std::string& line, std::string& error) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (!folder.empty() && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder.string() + ": cannot create: " + std::strerror(errno);
        return false;
    }
    FileDescriptor out(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) {
        error = file + ": cannot open for appending: " + std::strerror(errno);
        return false;
    }
    if (::write(out.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()) || !out.Close()) {
        error = file + ": cannot append: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tessel
