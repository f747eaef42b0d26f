// Host keys of SFTP servers: the known-hosts files a target's server key is checked against, the
// lines of them the SSH library can take, and how a key seen for the first time is recorded when
// the target accepts new keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "upload_target.h"

namespace tessel {

struct KnownHostsFiles {
    std::vector<std::string> read;  // checked, in this order
    std::string record;             // where a newly accepted key is added
};

// The target's known_hosts file; without one the system's /etc/ssh/ssh_known_hosts and the
// account's ~/.ssh/known_hosts (`home`: $HOME, else the account's home from the password database).
KnownHostsFiles KnownHostsFor(const UploadTarget& target, const std::string& home);

// The home folder of the running account: $HOME when it is an absolute path, else the password
// database's entry.
std::string AccountHome();

struct UsableKnownHosts {
    std::string lines;                     // plain host key lines of the key types the library reads
    std::vector<std::string> revokedKeys;  // base64 keys marked @revoked: refused whatever else says
};

// Reads `files` (missing ones are skipped) keeping the lines the SSH library can read: a line it
// cannot read (a marker, a key type it does not know) would end its reading of the whole file.
UsableKnownHosts ReadKnownHosts(const std::vector<std::string>& files);

// The server named by an sftp:// url: its host and port (22 when none is written).
struct SshServer {
    std::string host;
    int port = 22;
};
SshServer ServerOfUrl(std::string_view url);

// The known_hosts line for `server`'s key, given as its base64 text; "" when the key's type
// cannot be read from it.
std::string KnownHostsLine(const SshServer& server, std::string_view base64Key);

// Appends `line` to `file`, creating the file (mode 600) and its folder (mode 700) when missing.
// False with `error` set when it cannot.
bool RecordHostKey(const std::string& file, const std::string& line, std::string& error);

}  // namespace tessel
