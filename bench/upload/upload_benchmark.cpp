// Remote publishing on loopback: 200 archive pictures sent by tessel-upload (one reused connection
// per target) against the same files sent with one `curl -T` per file, over SFTP and WebDAV; and
// the latency from the converter's last step (queueing) to the new webcam.jpg on the remote side.
// usage: upload_benchmark [PICTURES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "scratch_directory.h"
#include "test_servers.h"
#include "upload_spool.h"

using namespace tessel;
using namespace tessel::testing;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string PictureName(int i) {
    char name[64];
    std::snprintf(name, sizeof name, "archive/20261210%06d.jpg", 80000 + i);
    return name;
}

double UploaderSeconds(const ScratchDirectory& web, const TestServer& server, int pictures) {
    WriteFile(web / "pictrex.ini", server.Section("bench"));
    std::vector<std::string> paths;
    for (int i = 0; i < pictures; ++i) paths.push_back(PictureName(i));
    const WebDirectory dir = WebDirectory::Open(web.path());
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, paths, 0);
    const auto start = std::chrono::steady_clock::now();
    ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out");
    if (uploader.Wait(600) != 0) std::fprintf(stderr, "tessel-upload failed\n");
    return Since(start);
}

double CurlScriptSeconds(const ScratchDirectory& web, const TestServer& server, int pictures) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < pictures; ++i) {
        const std::string path = PictureName(i);
        ChildProcess curl(server.CurlUploadCommand((web / path).string(), "script/" + path), web / "curl.out");
        if (curl.Wait(60) != 0) std::fprintf(stderr, "curl failed for %s\n", path.c_str());
    }
    return Since(start);
}

// Seconds from the end of EnqueueUploads (the converter's last step before it exits) until the
// remote webcam.jpg holds the new picture; as after a converter run, EnqueueUploads starts the
// uploader unless the previous round's one is still finishing (which then takes the new job).
std::vector<double> Latencies(const ScratchDirectory& web, const TestServer& server, int rounds) {
    WriteFile(web / "pictrex.ini", server.Section("latency"));
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        const std::string picture = PictureBytes(60000, 1000 + i);
        WriteFile(web / "webcam.jpg", picture);
        EnqueueUploads(web.path(), {"webcam.jpg"});
        const auto start = std::chrono::steady_clock::now();
        while (server.Remote("webcam.jpg") != picture && Since(start) < 30) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        seconds.push_back(Since(start));
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 200;
    // EnqueueUploads finds tessel-upload on PATH (beside this program it is not).
    const std::string path = std::string(TESSEL_UPLOAD_DIR) + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ::setenv("PATH", path.c_str(), 1);
    ScratchDirectory web;
    for (int i = 0; i < pictures; ++i) WriteFile(web / PictureName(i), PictureBytes(60000, i));
    std::printf("%d archive pictures of 60000 bytes each, loopback\n", pictures);
    std::printf("%-8s %14s %14s %8s %16s %16s\n", "target", "tessel-upload", "curl -T each", "ratio", "latency median", "latency max");
    for (const ServerKind kind : {ServerKind::Sftp, ServerKind::WebDav}) {
        std::string reason;
        const auto server = TestServer::Start(kind, reason);
        if (!server) {
            std::printf("%-8s skipped: %s\n", KindName(kind), reason.c_str());
            continue;
        }
        const double uploader = UploaderSeconds(web, *server, pictures);
        const double script = CurlScriptSeconds(web, *server, pictures);
        const std::vector<double> latency = Latencies(web, *server, 21);
        std::printf("%-8s %12.3f s %12.3f s %8.2f %13.1f ms %13.1f ms\n", KindName(kind), uploader, script,
                    uploader / script, latency[latency.size() / 2] * 1000, latency.back() * 1000);
    }
    return 0;
}
