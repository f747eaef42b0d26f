#include "test_servers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <curl/curl.h>

namespace tessel::testing {
namespace {

constexpr const char* kBucket = "tessel";
constexpr const char* kS3Key = "S3RVER";  // s3rver's fixed access key id and secret

bool AcceptsConnections(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

std::optional<std::string> FindOnPath(const std::string& program) {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/usr/local/bin", "/sbin", "/bin"}) {
        const std::string candidate = std::string(dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

std::string Run(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

std::string UserName() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? entry->pw_name : "root";
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& log,
                           const std::vector<std::string>& environment) {
    std::vector<char*> arguments;
    for (const auto& a : argv) arguments.push_back(const_cast<char*>(a.c_str()));
    arguments.push_back(nullptr);
    std::vector<std::string> variables = environment;
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);  // the first of a name wins
    std::vector<char*> environmentList;
    for (auto& v : variables) environmentList.push_back(v.data());
    environmentList.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // no server outlives a test run that was killed
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::closefrom(3);
        ::execve(arguments[0], arguments.data(), environmentList.data());
        ::_exit(127);
    }
    ::setpgid(pid_, pid_);
}

ChildProcess::~ChildProcess() { Kill(); }

// Every process below `root` (servers such as sshd start each session in a session of its own,
// outside the server's process group).
std::vector<pid_t> Descendants(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parents;  // (pid, parent)
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        int parent = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %*c %d", &parent) == 1) parents.emplace_back(std::stoi(name), parent);
    }
    std::vector<pid_t> found = {root};
    for (std::size_t i = 0; i < found.size(); ++i) {
        for (const auto& [pid, parent] : parents) {
            if (parent == found[i]) found.push_back(pid);
        }
    }
    return found;
}

void ChildProcess::Signal(int signal) const {
    if (reaped_) return;
    // Found before any is signalled: the children of a killed process are adopted by init at once.
    const std::vector<pid_t> processes = Descendants(pid_);
    ::kill(-pid_, signal);
    for (const pid_t pid : processes) ::kill(pid, signal);
}

std::optional<int> ChildProcess::Wait(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!reaped_) {
        int status = 0;
        rusage usage{};
        const pid_t got = ::wait4(pid_, &status, WNOHANG, &usage);
        if (got == pid_) {
            reaped_ = true;
            peakKilobytes_ = usage.ru_maxrss;
            ::kill(-pid_, SIGKILL);  // whatever it left behind in its group
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= until) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

// Whether `pid` is gone or a zombie (which holds no socket or file any more).
bool Ended(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || stat.compare(close + 1, 3, " Z ") == 0;
}

void ChildProcess::Kill() {
    if (reaped_) return;
    // The whole tree ends before Kill returns: a server's worker still dying would otherwise
    // accept a connection on the listening socket it shares and reset it.
    const std::vector<pid_t> processes = Descendants(pid_);
    Signal(SIGCONT);
    Signal(SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const pid_t pid : processes) {
        while (!Ended(pid) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

std::string WithoutLine(const std::string& section, const std::string& line) {
    std::string result = section;
    const auto at = result.find(line + "\n");
    if (at != std::string::npos) result.erase(at, line.size() + 1);
    return result;
}

const char* KindName(ServerKind kind) {
    switch (kind) {
        case ServerKind::Sftp: return "sftp";
        case ServerKind::Ftp: return "ftp";
        case ServerKind::WebDav: return "webdav";
        case ServerKind::S3: return "s3";
    }
    return "?";
}

// The program that serves each kind, and what to install when it is missing.
struct ServerProgram {
    const char* name;
    const char* missing;
};

ServerProgram ProgramOf(ServerKind kind) {
    switch (kind) {
        case ServerKind::Sftp: return {"sshd", "OpenSSH's sshd is not installed (package openssh-server)"};
        case ServerKind::Ftp: return {"vsftpd", "vsftpd is not installed (package vsftpd)"};
        case ServerKind::WebDav: return {"nginx", "nginx is not installed (package nginx-light)"};
        case ServerKind::S3: return {"s3rver", "s3rver is not installed (npm install -g s3rver)"};
    }
    return {"", ""};
}

std::unique_ptr<TestServer> TestServer::Start(ServerKind kind, std::string& skipReason) {
    const auto program = FindOnPath(ProgramOf(kind).name);
    if (!program || (kind == ServerKind::Sftp && !FindOnPath("ssh-keygen"))) {
        skipReason = ProgramOf(kind).missing;
        return nullptr;
    }
    std::unique_ptr<TestServer> server(new TestServer(kind));
    const std::filesystem::path d = server->dir_.path();
    server->port_ = FreeLoopbackPort();
    const std::string port = std::to_string(server->port_);
    switch (kind) {
        case ServerKind::Sftp: {
            Run("ssh-keygen -q -t ed25519 -N '' -f " + (d / "host_key").string() + " && ssh-keygen -q -t ed25519 -N '' -f " +
                (d / "user_key").string() + " && ssh-keygen -q -t ed25519 -N '' -f " + (d / "stranger_key").string());
            std::filesystem::copy_file(d / "user_key.pub", d / "authorized_keys");
            const std::string hostKey = ReadFile(d / "host_key.pub");
            WriteFile(d / "known_hosts", "[127.0.0.1]:" + port + " " + hostKey.substr(0, hostKey.rfind(' ')) + "\n");
            WriteFile(d / "sshd_config",
                      "Port " + port + "\nListenAddress 127.0.0.1\nHostKey " + (d / "host_key").string() +
                          "\nAuthorizedKeysFile " + (d / "authorized_keys").string() +
                          "\nStrictModes no\nPasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                          "UsePAM no\nPidFile none\nPermitRootLogin prohibit-password\nSubsystem sftp internal-sftp\n");
            if (::geteuid() == 0) ::mkdir("/run/sshd", 0755);  // sshd's privilege separation folder
            server->argv_ = {*program, "-D", "-e", "-f", (d / "sshd_config").string()};
            server->root_ = d / "www";
            std::filesystem::create_directory(server->root_);
            break;
        }
        case ServerKind::Ftp: {
            const passwd* ftpUser = ::getpwnam("ftp");
            if (!ftpUser) {
                skipReason = ProgramOf(kind).missing;
                return nullptr;
            }
            if (::geteuid() != 0) {
                skipReason = "vsftpd's anonymous upload needs root to switch to the ftp account";
                return nullptr;
            }
            // Anonymous sessions are jailed in ftp/, which must not be writable; they write in www/.
            std::filesystem::create_directories(d / "ftp/www");
            ::chmod((d / "ftp").c_str(), 0555);
            ::chown((d / "ftp/www").c_str(), ftpUser->pw_uid, ftpUser->pw_gid);
            std::filesystem::create_directories("/var/run/vsftpd/empty");
            WriteFile(d / "vsftpd.conf",
                      "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" + port +
                          "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                          "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                          "anon_umask=022\nno_anon_password=YES\nanon_root=" + (d / "ftp").string() +
                          "\npasv_enable=YES\npasv_address=127.0.0.1\nconnect_from_port_20=NO\nseccomp_sandbox=NO\n"
                          "xferlog_enable=YES\nvsftpd_log_file=" + (d / "vsftpd.log").string() +
                          "\nsecure_chroot_dir=/var/run/vsftpd/empty\n"
                          // A session whose client was killed lingers until its own timeout and
                          // would hold a lock on the half-sent file over the next run's attempts.
                          "lock_upload_files=NO\n");
            server->argv_ = {*program, (d / "vsftpd.conf").string()};
            server->root_ = d / "ftp/www";
            break;
        }
        case ServerKind::WebDav: {
            std::filesystem::create_directories(d / "www");
            std::filesystem::create_directories(d / "body");
            ::chmod((d / "www").c_str(), 0777);  // nginx's workers run as another account
            ::chmod((d / "body").c_str(), 0777);
            WriteFile(d / "htpasswd", "cam:{PLAIN}open-sesame\n");
            ::chmod((d / "htpasswd").c_str(), 0644);
            // Everything is a WebDAV share; a path holding "forbidden" is refused, and below
            // archive/days/ bodies above 1 MiB are too large (nginx's default limit).
            WriteFile(d / "nginx.conf",
                      "pid " + (d / "nginx.pid").string() + ";\nerror_log " + (d / "error.log").string() +
                          ";\nworker_processes 1;\nevents { worker_connections 64; }\nhttp {\n access_log off;\n"
                          " client_body_temp_path " + (d / "body").string() + ";\n server {\n  listen 127.0.0.1:" + port +
                          ";\n  root " + (d / "www").string() + ";\n  client_max_body_size 0;\n"
                          "  dav_methods PUT DELETE MKCOL COPY MOVE;\n  create_full_put_path on;\n"
                          "  dav_access user:rw group:r all:r;\n  auth_basic tessel;\n  auth_basic_user_file " +
                          (d / "htpasswd").string() + ";\n  location / {}\n  location /archive/days/ { client_max_body_size 1m; }\n"
                          "  location ~ forbidden { return 403; }\n }\n}\n");
            server->argv_ = {*program, "-e", (d / "error.log").string(), "-p", d.string(), "-c", (d / "nginx.conf").string(),
                             "-g", "daemon off;"};
            server->root_ = d / "www";
            break;
        }
        case ServerKind::S3: {
            server->argv_ = {*program, "-d", (d / "s3").string(), "-a", "127.0.0.1", "-p", port, "--silent",
                             "--configure-bucket", kBucket};
            break;
        }
    }
    server->Launch();
    return server;
}

TestServer::~TestServer() = default;

void TestServer::Launch() {
    process_ = std::make_unique<ChildProcess>(argv_, dir_ / "server.log");
    for (int i = 0; i < 1000; ++i) {
        if (AcceptsConnections(port_)) return;
        if (process_->Wait(0.01)) break;
    }
    throw std::runtime_error(std::string(KindName(kind_)) + " server did not start: " + ReadFile(dir_ / "server.log") +
                             ReadFile(dir_ / "error.log"));
}

void TestServer::Stop() { process_.reset(); }

void TestServer::Restart() {
    process_.reset();
    Launch();
}

std::string TestServer::CredentialsFile(const std::string& name, const std::string& text) const {
    const std::filesystem::path file = dir_ / (name + ".credentials");
    WriteFile(file, text);
    ::chmod(file.c_str(), 0600);
    return "credentials = " + file.string() + "\n";
}

std::string TestServer::Section(const std::string& name, const std::string& extra, Login login) const {
    const bool wrong = login == Login::Wrong;
    const std::string port = std::to_string(port_);
    const std::string wrongPassword = std::string("password = ") + kWrongSecret + "\n";
    std::string settings;
    std::string credentials;
    switch (kind_) {
        case ServerKind::Sftp:
            settings = "url = sftp://" + UserName() + "@127.0.0.1:" + port + root_.string() + "/\nknown_hosts = " +
                       (dir_ / "known_hosts").string() + "\n";
            credentials = "private_key = " + (dir_ / (wrong ? "stranger_key" : "user_key")).string() + "\n" +
                          (wrong ? wrongPassword : "");
            break;
        case ServerKind::Ftp:
            settings = "url = ftp://127.0.0.1:" + port + "/www/\nallow_insecure = yes\n";
            credentials = wrong ? "user = cam\n" + wrongPassword : "";
            break;
        case ServerKind::WebDav:
            settings = "url = http://127.0.0.1:" + port + "/\nallow_insecure = yes\n";
            credentials = "user = cam\n" + (wrong ? wrongPassword : "password = open-sesame\n");
            break;
        case ServerKind::S3:
            // s3rver refuses an unknown access key; it takes any secret (see the header).
            settings = "url = s3://" + std::string(kBucket) + "/cam/\nendpoint = http://127.0.0.1:" + port +
                       "\nregion = us-east-1\n";
            credentials = "access_key_id = " + std::string(wrong ? "WRONG-KEY" : kS3Key) + "\nsecret_access_key = " +
                          (wrong ? kWrongSecret : kS3Key) + "\n";
            break;
    }
    return "[upload " + name + "]\n" + settings + (credentials.empty() ? "" : CredentialsFile(name, credentials)) + extra;
}

std::vector<std::string> TestServer::CurlUploadCommand(const std::string& localFile, const std::string& path) const {
    const std::string port = std::to_string(port_);
    if (kind_ == ServerKind::Sftp) {
        return {"/usr/bin/curl", "-sS", "--key", (dir_ / "user_key").string(), "--pubkey", (dir_ / "user_key.pub").string(),
                "--ftp-create-dirs", "-T", localFile, "sftp://" + UserName() + "@127.0.0.1:" + port + root_.string() + "/" + path};
    }
    return {"/usr/bin/curl", "-sS", "-f", "-u", "cam:open-sesame", "-T", localFile, "http://127.0.0.1:" + port + "/" + path};
}

bool TestServer::ReceivingFile() const {
    if (kind_ == ServerKind::S3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return true;
    }
    // nginx receives a body in its temporary folder; the others write the hidden ".part" file.
    const std::filesystem::path folder = kind_ == ServerKind::WebDav ? dir_ / "body" : root_;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        std::error_code sizeError;
        const auto name = entry.path().filename().string();
        if ((kind_ == ServerKind::WebDav || name.ends_with(".part")) && entry.is_regular_file(sizeError) &&
            entry.file_size(sizeError) > 0 && !sizeError) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> TestServer::Remote(const std::string& path) const {
    if (kind_ != ServerKind::S3) {
        std::ifstream in(root_ / path, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string body;
    CURL* curl = curl_easy_init();
    const std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/" + kBucket + "/cam/" + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK || status != 200) return std::nullopt;
    return body;
}

std::string TestServer::RemoteHeader(const std::string& path, const std::string& header) const {
    std::string headers;
    CURL* curl = curl_easy_init();
    const std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/" + kBucket + "/cam/" + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    std::string lower = headers;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto at = lower.find("\n" + header + ":");
    if (at == std::string::npos) return {};
    const auto start = headers.find_first_not_of(' ', at + header.size() + 2);
    return headers.substr(start, headers.find('\r', start) - start);
}

}  // namespace tessel::testing
