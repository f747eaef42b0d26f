// Real servers for the upload tests, each started on a free loopback port with a throw-away
// configuration in its own scratch directory and killed (with everything it started) at the end:
// OpenSSH's sshd (SFTP, key login), vsftpd (FTP, anonymous upload), nginx with its WebDAV module
// (PUT, MOVE, basic authentication) and s3rver (S3, checks signatures of its fixed keys).
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
    // Starts `argv` with standard output and error appended to `log`.
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& log);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Sends `signal` to the whole group (the server and the sessions it forked).
    void Signal(int signal) const;
    // Waits up to `seconds` for the process to end; its exit status, or nothing when it still runs.
    std::optional<int> Wait(double seconds);
    void Kill();

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

enum class ServerKind { Sftp, Ftp, WebDav, S3 };
const char* KindName(ServerKind kind);

class TestServer {
public:
    // Starts the server, or returns nothing with `skipReason` set when its program is not installed.
    static std::unique_ptr<TestServer> Start(ServerKind kind, std::string& skipReason);
    ~TestServer();

    ServerKind kind() const { return kind_; }
    // The "[upload NAME]" section that sends to this server; `extra` lines are appended to it.
    std::string Section(const std::string& name, const std::string& extra = "") const;
    // The same section with credentials the server refuses; `secret` is the wrong secret used.
    std::string SectionWithWrongCredentials(const std::string& name, const std::string& extra, std::string& secret);
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
