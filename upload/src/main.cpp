// tessel-upload WEBDIR: sends the queued files of the web directory to every configured target
// and exits once nothing is due for a while (see Uploader::Drain). Started detached by the
// converter; a second instance exits at once while one holds the lock.
#include <cstdlib>
#include <iostream>
#include <string>

#include "credentials.h"
#include "curl_transport.h"
#include "queue_watch.h"
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
        if (credentials) connection.setupError = tessel::RefusalInClear(target, *credentials);
        if (credentials && connection.setupError.empty()) {
            connection.transport = tessel::MakeCurlTransport(target, *credentials);
            connection.secrets = credentials->Secrets();
        }
        connections.push_back(std::move(connection));
    }
    return connections;
}

std::vector<std::string> Names(const std::vector<tessel::UploadTarget>& targets) {
    std::vector<std::string> names;
    for (const auto& target : targets) names.push_back(target.name);
    return names;
}

}  // namespace

constexpr const char* kUsageLine = "usage: tessel-upload WEBDIR";
constexpr const char* kDescription =
    "Sends the files queued in WEBDIR/upload-spool/ to the [upload NAME] targets of WEBDIR/pictrex.ini,\n"
    "and exits when nothing is left to send within two minutes (queues empty, or only held jobs and\n"
    "targets waiting after failures left: the converter starts it again on its next run).\n"
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
        for (const auto& warning : configured.warnings) std::cerr << "tessel-upload: " << warning << '\n';
        auto lock = tessel::UploaderLock::TryAcquire(web);
        if (!lock) return 0;
        tessel::LogChangedSettingsWarnings(web, tessel::ReadUploadStatus(web), configured.warnings, std::time(nullptr));
        tessel::QueueWatch watch(web, Names(configured.targets));
        tessel::UploaderClock clock = tessel::SystemClock();
        clock.wait = [&watch](double seconds) { watch.Wait(seconds); };
        tessel::Uploader uploader(web, Connect(configured.targets), clock, configured.warnings);
        // Jobs queued just before the lock is released were not given an uploader of their own by
        // the converter (it saw this one running): they are looked for once the lock is let go.
        while (true) {
            uploader.Drain();
            lock.reset();
            if (!uploader.HasDueJobs()) return 0;
            lock = tessel::UploaderLock::TryAcquire(web);
            if (!lock) return 0;
        }
    } catch (const tessel::FileError& e) {
        std::cerr << "tessel-upload: " << e.what() << '\n';
        return 1;
    }
}
