// Real servers a camera test grabs from, each started on a free loopback port in a scratch
// directory and killed at the end: Debian's nginx serving snapshots (one folder behind basic
// authentication), ffmpeg serving an MJPEG stream to one client, GStreamer's RTSP server
// (rtsp_test_server.py) and the fault injector faulty_http_server.py.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scratch_directory.h"
#include "test_servers.h"

namespace tessel::testing {

// A server process that listens on a loopback port.
class LoopbackServer {
public:
    // Starts `argv` and waits until something listens on `port` (looked up in /proc/net/tcp, not
    // by connecting: some servers take the first connection as their one client).
    LoopbackServer(std::vector<std::string> argv, std::filesystem::path log, int port);

    int port() const { return port_; }
    std::string Log() const { return ReadFile(log_); }  // what it printed
    void Signal(int signal) const { process_->Signal(signal); }
    void Pause() const { process_->Signal(SIGSTOP); }
    void Resume() const { process_->Signal(SIGCONT); }
    void Stop() { process_.reset(); }
    void Restart();  // starts it again on the same port

private:
    void Launch();

    std::vector<std::string> argv_;
    std::filesystem::path log_;
    int port_;
    std::unique_ptr<ChildProcess> process_;
};

// nginx serving the files of `www()` with /private/ behind basic authentication, over HTTP and
// over HTTPS with a self-signed certificate.
class SnapshotServer {
public:
    static constexpr const char* kUser = "cam";
    static constexpr const char* kPassword = "Open@Sesame/1%";  // nginx ends a password at ':'

    // Nothing, with `skipReason` set, when nginx is not installed.
    static std::unique_ptr<SnapshotServer> Start(std::string& skipReason);

    std::string Url(const std::string& path) const;
    std::string SecureUrl(const std::string& path) const;
    void Put(const std::string& path, const std::vector<uint8_t>& bytes) const;
    LoopbackServer& process() { return *server_; }

private:
    SnapshotServer() = default;
    ScratchDirectory dir_;
    int securePort_ = 0;
    std::unique_ptr<LoopbackServer> server_;
};

// A camera server on loopback, in a scratch directory of its own.
class CameraServer {
public:
    // GStreamer's RTSP server with a live test picture at rtsp://127.0.0.1:PORT/camera;
    // `arguments` are those of rtsp_test_server.py (--codec, --pattern, --continuous, ...).
    static std::unique_ptr<CameraServer> Rtsp(const std::vector<std::string>& arguments, std::string& skipReason);
    // `ffmpeg -re ... -f mpjpeg -listen 1`: an MJPEG stream of a 640×480 test picture for one client.
    static std::unique_ptr<CameraServer> MjpegStream(std::string& skipReason);
    // faulty_http_server.py in `mode` (cut-stream, stalled-stream, short-snapshot), breaking off `jpeg`.
    static std::unique_ptr<CameraServer> Faulty(const std::string& mode, const std::vector<uint8_t>& jpeg,
                                                std::string& skipReason);

    std::string Url() const { return prefix_ + std::to_string(server_->port()) + path_; }
    LoopbackServer& process() { return *server_; }

private:
    CameraServer(std::string prefix, std::string path) : prefix_(std::move(prefix)), path_(std::move(path)) {}
    void Launch(const std::vector<std::string>& argv, int port);

    ScratchDirectory dir_;
    std::string prefix_;  // the URL up to the port
    std::string path_;
    std::unique_ptr<LoopbackServer> server_;
};

// Another client that keeps watching an RTSP stream (`ffmpeg -i URL -c copy -f null -`), as a camera's own
// recorder would: GStreamer's server stops a shared stream when its last client leaves and starts
// it afresh, with a key frame, for the next; with a viewer the stream runs on between grabs.
class RtspViewer {
public:
    // Returns once the server counts the viewer as a client.
    RtspViewer(const std::string& url, int port);

private:
    ScratchDirectory dir_;
    std::unique_ptr<ChildProcess> process_;
};

// Debian's own python3 (with GStreamer's bindings), not whichever python3 comes first on PATH.
inline constexpr const char* kSystemPython = "/usr/bin/python3";

// A 4:2:0 JPEG of a picture with gradients and stripes, from the project's JPEG writer.
std::vector<uint8_t> SampleJpeg(int width, int height);

}  // namespace tessel::testing
