// Real servers for the upload tests, each started on a free loopback port with a throw-away
// configuration in its own scratch directory and killed (with everything it started) at the end:
// OpenSSH's sshd (SFTP, key login, a host key made for the run), vsftpd (FTP, anonymous upload),
// nginx with its WebDAV module (PUT, MOVE, basic authentication; 403 for any path holding
// "forbidden", a body limit of 1 MiB below archive/days/) and s3rver (S3; it knows one fixed
// access key and refuses others, but does not check Signature Version 4 signatures, so a wrong
// secret alone passes there).
#pragma once

#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "scratch_directory.h"

namespace tessel::testing {

int FreeLoopbackPort();

// A child process in its own process group.
class ChildProcess {
public:
    // Starts `argv` with standard output and error appended to `log`, with `environment`
    // ("NAME=value") added to ours.
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& log,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Sends `signal` to the whole group (the server and the sessions it forked).
    void Signal(int signal) const;
    // Waits up to `seconds` for the process to end; its exit status, or nothing when it still runs.
    std::optional<int> Wait(double seconds);
    void Kill();
    // The largest resident set the process had, in KiB, once it has been waited for.
    long PeakResidentKilobytes() const { return peakKilobytes_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    long peakKilobytes_ = 0;
};

enum class ServerKind { Sftp, Ftp, WebDav, S3 };
const char* KindName(ServerKind kind);

// Which credentials a target section carries: ones the server takes, or ones it refuses (with
// kWrongSecret as their secret).
enum class Login { Right, Wrong };
inline constexpr const char* kWrongSecret = "wrong-Secret-4711";

// `section` without the line `line` (e.g. to leave out a setting the test servers need).
std::string WithoutLine(const std::string& section, const std::string& line);

class TestServer {
public:
    // Starts the server, or returns nothing with `skipReason` set when its program is not installed.
    static std::unique_ptr<TestServer> Start(ServerKind kind, std::string& skipReason);
    ~TestServer();

    ServerKind kind() const { return kind_; }
    // The "[upload NAME]" section that sends to this server; `extra` lines are appended to it.
    // Over FTP and WebDAV, which send credentials in clear, it allows that (loopback); over SFTP
    // it names a known_hosts file with the server's key.
    std::string Section(const std::string& name, const std::string& extra = "", Login login = Login::Right) const;
    // The remote file at `path`, or nothing when it is missing.
    std::optional<std::string> Remote(const std::string& path) const;
    // A response header of the remote file (S3 only: content type and cache lifetime are kept).
    std::string RemoteHeader(const std::string& path, const std::string& header) const;
    // The command a user would script to send `localFile` to `path` with the curl tool
    // (SFTP and WebDAV).
    std::vector<std::string> CurlUploadCommand(const std::string& localFile, const std::string& path) const;
    // True once some bytes of an upload have reached the server (S3: a moment after the call).
    bool ReceivingFile() const;
    // Where the remote files lie on disk (not for S3).
    std::filesystem::path root() const { return root_; }

    void Stop();     // kills the server
    void Restart();  // starts it again on the same port
    void Pause() const { process_->Signal(SIGSTOP); }
    void Resume() const { process_->Signal(SIGCONT); }

private:
    explicit TestServer(ServerKind kind) : kind_(kind) {}
    void Launch();
    std::string CredentialsFile(const std::string& name, const std::string& text) const;

    ServerKind kind_;
    ScratchDirectory dir_;
    std::filesystem::path root_;
    int port_ = 0;
    std::vector<std::string> argv_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace tessel::testing
