// tessel-upload WEBDIR: sends the queued files of the web directory to every configured target
// and exits when the queues are empty. Started detached by the converter; a second instance
// exits at once while one holds the lock.
#include <cstdlib>
#include <iostream>
#include <string>

#include "credentials.h"
#include "curl_transport.h"
#include "standard_options.h"
#include "upload_spool.h"
#include "uploader.h"
#include "uploader_launch.h"

namespace {

std::vector<tessel::TargetConnection> Connect(const std::vector<tessel::UploadTarget>& targets) {
    std::vector<tessel::TargetConnection> connections;
    for (const auto& target : targets) {
        tessel::TargetConnection connection{target, nullptr, {}, {}};
        const auto credentials =
            tessel::LoadCredentials(target, [](const char* name) { return std::getenv(name); }, connection.setupError);
        if (credentials) {
            connection.transport = tessel::MakeCurlTransport(target, *credentials);
            connection.secrets = credentials->Secrets();
        }
        connections.push_back(std::move(connection));
    }
    return connections;
}

}  // namespace

constexpr const char* kUsageLine = "usage: tessel-upload WEBDIR";
constexpr const char* kDescription =
    "Sends the files queued in WEBDIR/upload-spool/ to the [upload NAME] targets of WEBDIR/pictrex.ini,\n"
    "and exits when every queue is empty.\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n";

int main(int argc, char** argv) {
    const std::string help = std::string(kUsageLine) + '\n' + kDescription;
    if (const auto status = tessel::AnswerStandardOption(argc, argv, {"tessel-upload", help}, std::cout)) return *status;
    if (argc != 2) {
        std::cerr << kUsageLine << '\n';
        return 2;
    }
    tessel::InitialiseCurl();
    try {
        const auto web = tessel::WebDirectory::Open(argv[1]);
        const tessel::UploadTargets configured = tessel::LoadUploadTargets(web);
        tessel::Uploader uploader(web, Connect(configured.targets), tessel::SystemClock());
        // Jobs queued just after a drain ends, while the lock was still held, are taken by the
        // next round: the converter did not start an uploader for them.
        do {
            const auto lock = tessel::UploaderLock::TryAcquire(web);
            if (!lock) return 0;
            uploader.Drain();
        } while (uploader.HasJobs());
    } catch (const tessel::FileError& e) {
        std::cerr << "tessel-upload: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
