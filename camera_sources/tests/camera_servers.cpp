#include "camera_servers.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "imaging/jpeg_io.h"

namespace tessel::testing {
namespace {

// Where the helper scripts lie (this folder in the source tree).
const std::filesystem::path kHere = TESSEL_CAMERA_TEST_SCRIPTS;

// Whether /proc/net/tcp holds a socket on 127.0.0.1:`port` in `state` (0A: listening, 01: a
// connection established).
bool LoopbackSocketIn(int port, const char* state) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, socketState;
        fields >> slot >> local >> remote >> socketState;
        if (local == wanted && socketState == state) return true;
    }
    return false;
}

// Waits until `ready` holds; throws with the log's text when `process` ends or 20 s pass.
template <typename Ready>
void WaitFor(Ready ready, ChildProcess& process, const std::filesystem::path& log, const std::string& what) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ready()) {
        if (process.Wait(0.02) || std::chrono::steady_clock::now() > until) {
            throw std::runtime_error(what + " did not start: " + ReadFile(log));
        }
    }
}

bool Installed(const char* program) { return ::access(program, X_OK) == 0; }

bool SystemPythonHasGStreamerServer() {
    const std::string command = std::string(kSystemPython) +
                                " -c \"import gi; gi.require_version('GstRtspServer', '1.0'); "
                                "from gi.repository import GstRtspServer\" >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    WriteFile(file, std::string(bytes.begin(), bytes.end()));
    ::chmod(file.c_str(), 0644);
}

}  // namespace

LoopbackServer::LoopbackServer(std::vector<std::string> argv, std::filesystem::path log, int port)
    : argv_(std::move(argv)), log_(std::move(log)), port_(port) {
    Launch();
}

void LoopbackServer::Launch() {
    process_ = std::make_unique<ChildProcess>(argv_, log_);
    WaitFor([&] { return LoopbackSocketIn(port_, "0A"); }, *process_, log_, "server " + argv_[0]);
}

void LoopbackServer::Restart() {
    process_.reset();
    Launch();
}

std::unique_ptr<SnapshotServer> SnapshotServer::Start(std::string& skipReason) {
    if (!Installed("/usr/sbin/nginx") || !Installed("/usr/bin/openssl")) {
        skipReason = "nginx or openssl is not installed (packages nginx-light, openssl)";
        return nullptr;
    }
    std::unique_ptr<SnapshotServer> server(new SnapshotServer());
    const std::filesystem::path d = server->dir_.path();
    const int port = FreeLoopbackPort();
    server->securePort_ = FreeLoopbackPort();
    const std::string certificate = "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                                    "-addext subjectAltName=IP:127.0.0.1 -keyout " + (d / "key.pem").string() +
                                    " -out " + (d / "certificate.pem").string() + " >/dev/null 2>&1";
    if (std::system(certificate.c_str()) != 0) throw std::runtime_error("openssl made no certificate");
    ::chmod((d / "key.pem").c_str(), 0644);
    std::filesystem::create_directories(d / "www/private");
    ::chmod((d / "www").c_str(), 0755);
    ::chmod((d / "www/private").c_str(), 0755);
    WriteFile(d / "htpasswd", std::string(kUser) + ":{PLAIN}" + kPassword + "\n");
    ::chmod((d / "htpasswd").c_str(), 0644);
    WriteFile(d / "nginx.conf",
              "pid " + (d / "nginx.pid").string() + ";\nerror_log " + (d / "error.log").string() +
                  ";\nworker_processes 1;\nevents { worker_connections 64; }\nhttp {\n access_log off;\n"
                  " types { image/jpeg jpg; text/html html; }\n default_type application/octet-stream;\n"
                  " server {\n  listen 127.0.0.1:" + std::to_string(port) + ";\n  listen 127.0.0.1:" +
                  std::to_string(server->securePort_) + " ssl;\n  ssl_certificate " + (d / "certificate.pem").string() +
                  ";\n  ssl_certificate_key " + (d / "key.pem").string() + ";\n  root " + (d / "www").string() +
                  ";\n  location /private/ {\n   auth_basic camera;\n   auth_basic_user_file " +
                  (d / "htpasswd").string() + ";\n  }\n }\n}\n");
    server->server_ = std::make_unique<LoopbackServer>(
        std::vector<std::string>{"/usr/sbin/nginx", "-e", (d / "error.log").string(), "-p", d.string(), "-c",
                                 (d / "nginx.conf").string(), "-g", "daemon off;"},
        d / "server.log", port);
    return server;
}

std::string SnapshotServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(server_->port()) + "/" + path;
}

std::string SnapshotServer::SecureUrl(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(securePort_) + "/" + path;
}

void SnapshotServer::Put(const std::string& path, const std::vector<uint8_t>& bytes) const {
    WriteBytes(dir_ / ("www/" + path), bytes);
}

RtspViewer::RtspViewer(const std::string& url, int port)
    : process_(std::make_unique<ChildProcess>(
          std::vector<std::string>{"/usr/bin/ffmpeg", "-nostdin", "-v", "error", "-rtsp_transport", "tcp", "-i", url,
                                   "-c", "copy", "-f", "null", "-"},
          dir_ / "viewer.log")) {
    WaitFor([&] { return LoopbackSocketIn(port, "01"); }, *process_, dir_ / "viewer.log", "the RTSP viewer");
}

void CameraServer::Launch(const std::vector<std::string>& argv, int port) {
    server_ = std::make_unique<LoopbackServer>(argv, dir_ / "server.log", port);
}

std::unique_ptr<CameraServer> CameraServer::Rtsp(const std::vector<std::string>& arguments, std::string& skipReason) {
    if (!Installed(kSystemPython) || !SystemPythonHasGStreamerServer()) {
        skipReason = "GStreamer's RTSP server for python3 is missing (packages python3-gi, gir1.2-gst-rtsp-server-1.0)";
        return nullptr;
    }
    std::unique_ptr<CameraServer> server(new CameraServer("rtsp://127.0.0.1:", "/camera"));
    const int port = FreeLoopbackPort();
    std::vector<std::string> argv = {kSystemPython, (kHere / "rtsp_test_server.py").string(), "--port",
                                     std::to_string(port)};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    server->Launch(argv, port);
    return server;
}

std::unique_ptr<CameraServer> CameraServer::MjpegStream(std::string& skipReason) {
    if (!Installed("/usr/bin/ffmpeg")) {
        skipReason = "ffmpeg is not installed (package ffmpeg)";
        return nullptr;
    }
    std::unique_ptr<CameraServer> server(new CameraServer("http://127.0.0.1:", "/"));
    const int port = FreeLoopbackPort();
    server->Launch({"/usr/bin/ffmpeg", "-nostdin", "-v", "error", "-re", "-f", "lavfi", "-i",
                    "testsrc2=size=640x480:rate=10", "-q:v", "4", "-f", "mpjpeg", "-content_type",
                    "multipart/x-mixed-replace;boundary=ffmpeg", "-listen", "1",
                    "http://127.0.0.1:" + std::to_string(port) + "/"},
                   port);
    return server;
}

std::unique_ptr<CameraServer> CameraServer::Faulty(const std::string& mode, const std::vector<uint8_t>& jpeg,
                                                   std::string& skipReason) {
    if (!Installed(kSystemPython)) {
        skipReason = "python3 is not installed";
        return nullptr;
    }
    std::unique_ptr<CameraServer> server(new CameraServer("http://127.0.0.1:", "/"));
    WriteBytes(server->dir_ / "picture.jpg", jpeg);
    const int port = FreeLoopbackPort();
    server->Launch({kSystemPython, (kHere / "faulty_http_server.py").string(), std::to_string(port), mode,
                    (server->dir_ / "picture.jpg").string()},
                   port);
    return server;
}

std::vector<uint8_t> SampleJpeg(int width, int height) {
    imaging::Image image = imaging::BlankImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = imaging::PixelAt(image, x, y);
            pixel[0] = static_cast<uint8_t>(255 * x / width);
            pixel[1] = static_cast<uint8_t>(255 * y / height);
            pixel[2] = (x / 16 + y / 16) % 2 ? 200 : 40;
        }
    }
    return imaging::EncodeJpeg(image, 90);
}

}  // namespace tessel::testing
