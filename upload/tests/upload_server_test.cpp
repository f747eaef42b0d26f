// tessel-upload against real servers on loopback: SFTP (sshd), FTP (vsftpd), WebDAV (nginx) and
// S3 (s3rver).
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "credentials.h"
#include "curl_transport.h"
#include "scratch_directory.h"
#include "test_servers.h"
#include "upload_spool.h"
#include "uploader.h"

namespace tessel {
namespace {

using testing::ChildProcess;
using testing::PictureBytes;
using testing::ReadFile;
using testing::ScratchDirectory;
using testing::ServerKind;
using testing::TestServer;
using testing::WriteFile;

constexpr double kLongestRun = 120;  // seconds an uploader run may take in these tests before it counts as hung
// Short waits so that failures and retries happen within a test's time.
const std::string kQuickRetries = "retry_first = 0.2\nretry_longest = 0.4\nconnect_timeout = 3\n";

std::string KindLabel(const ::testing::TestParamInfo<ServerKind>& info) { return testing::KindName(info.param); }

class ServerTest : public ::testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override {
        std::string reason;
        server_ = TestServer::Start(GetParam(), reason);
        if (!server_) GTEST_SKIP() << reason;
    }

    WebDirectory Web() const { return WebDirectory::Open(web_.path()); }

    void Configure(const std::string& sections) const { WriteFile(web_ / "pictrex.ini", sections); }

    // Runs tessel-upload on the web directory and returns its exit status (nothing when it hung).
    std::optional<int> RunUploader() const {
        ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web_.path().string()}, web_ / "uploader.out");
        return uploader.Wait(kLongestRun);
    }

    std::vector<std::string> Queued(const std::string& target) const {
        std::vector<std::string> refused;
        std::vector<std::string> paths;
        for (const auto& job : TargetSpool(Web(), target, false).Jobs(refused)) paths.push_back(job.path);
        return paths;
    }

    // An uploader in this process for the configured targets.
    std::unique_ptr<Uploader> InProcessUploader() const {
        std::vector<TargetConnection> connections;
        for (const auto& target : LoadUploadTargets(Web()).targets) {
            std::string error;
            const auto credentials = LoadCredentials(target, [](const char*) -> const char* { return nullptr; }, error);
            EXPECT_TRUE(credentials) << error;
            connections.push_back({target, MakeCurlTransport(target, *credentials), {}, credentials->Secrets()});
        }
        return std::make_unique<Uploader>(Web(), std::move(connections), SystemClock());
    }

    ScratchDirectory web_;
    std::unique_ptr<TestServer> server_;
};

TEST_P(ServerTest, PublicFilesArriveByteForByteUnderTheSameLayout) {
    Configure(server_->Section("remote"));
    const std::map<std::string, std::string> files = {
        {"webcam.jpg", PictureBytes(150000, 1)},
        {"webcam.json", R"({"stamp":"20261210083005"})"},
        {"archive/20261210083005.jpg", PictureBytes(120000, 2)},
        {"archive/index.html", "<html>index</html>"},
    };
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : files) {
        WriteFile(web_ / path, bytes);
        paths.push_back(path);
    }
    EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, paths, 0);
    ASSERT_EQ(RunUploader(), 0);
    for (const auto& [path, bytes] : files) {
        const auto remote = server_->Remote(path);
        ASSERT_TRUE(remote) << path;
        EXPECT_TRUE(*remote == bytes) << path << " differs";
    }
    EXPECT_TRUE(Queued("remote").empty());
    const auto status = nlohmann::json::parse(ReadFile(web_ / "upload.json"));
    EXPECT_EQ(status["targets"]["remote"]["queue_length"], 0);
    EXPECT_TRUE(status["targets"]["remote"]["last_error"].is_null()) << status.dump();
    if (GetParam() == ServerKind::S3) {
        EXPECT_EQ(server_->RemoteHeader("webcam.jpg", "content-type"), "image/jpeg");
        EXPECT_EQ(server_->RemoteHeader("webcam.jpg", "cache-control"), "max-age=10");
        EXPECT_EQ(server_->RemoteHeader("archive/index.html", "content-type"), "text/html; charset=utf-8");
    }
}

TEST_P(ServerTest, AReaderPollingTheRemotePictureNeverGetsAPartOfOne) {
    if (GetParam() == ServerKind::S3) {
        GTEST_SKIP() << "s3rver writes an object in place while it receives it, so its readers can see a part; "
                        "an S3 PUT is whole by the service's own guarantee";
    }
    Configure(server_->Section("remote"));
    const auto uploader = InProcessUploader();
    std::set<std::string> versions;
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> partial{0};
    std::mutex versionsLock;
    std::thread reader([&] {
        while (!done) {
            const auto remote = server_->Remote("webcam.jpg");
            if (!remote) continue;  // not there yet (or, over SFTP, between removal and rename)
            ++reads;
            const std::lock_guard<std::mutex> hold(versionsLock);
            if (!versions.count(*remote)) ++partial;
        }
    });
    for (unsigned i = 0; i < 50; ++i) {
        const std::string picture = PictureBytes(200000 + 3000 * i, 100 + i);
        {
            const std::lock_guard<std::mutex> hold(versionsLock);
            versions.insert(picture);
        }
        WriteFile(web_ / "webcam.jpg", picture);
        EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, {"webcam.jpg"}, 0);
        uploader->Drain();
    }
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(partial.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_TRUE(server_->Remote("webcam.jpg") == PictureBytes(200000 + 3000 * 49, 149));
}

TEST_P(ServerTest, WrongCredentialsGiveAClearErrorAndBackoffKeepTheJobAndShowNoSecret) {
    if (GetParam() == ServerKind::S3) GTEST_SKIP() << "s3rver does not check secrets";
    std::string secret;
    Configure(server_->SectionWithWrongCredentials("remote", kQuickRetries, secret));
    WriteFile(web_ / "archive/20261210083005.jpg", PictureBytes(1000, 3));
    EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, {"archive/20261210083005.jpg"}, 0);
    ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web_.path().string()}, web_ / "uploader.out");
    const std::string arguments = ReadFile("/proc/" + std::to_string(uploader.pid()) + "/cmdline");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    uploader.Kill();
    EXPECT_EQ(arguments.find(secret), std::string::npos);
    const std::string log = ReadFile(web_ / "upload.log");
    const std::string statusText = ReadFile(web_ / "upload.json");
    for (const std::string& text : {log, statusText, ReadFile(web_ / "uploader.out")}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << text;
    }
    const auto status = nlohmann::json::parse(statusText);
    EXPECT_GE(status["targets"]["remote"]["consecutive_failures"], 2) << statusText;
    EXPECT_FALSE(status["targets"]["remote"]["next_attempt_epoch"].is_null());
    const std::string error = status["targets"]["remote"]["last_error"];
    const char* expected = GetParam() == ServerKind::Sftp     ? "SFTP upload of archive/20261210083005.jpg: "
                           : GetParam() == ServerKind::Ftp    ? "FTP upload of archive/20261210083005.jpg: "
                           : GetParam() == ServerKind::WebDav ? "HTTP status 401"
                                                              : "HTTP status 403";
    EXPECT_NE(error.find(expected), std::string::npos) << error;
    EXPECT_NE(log.find("next attempt in 0.400 s"), std::string::npos) << log;
    EXPECT_EQ(Queued("remote"), std::vector<std::string>{"archive/20261210083005.jpg"});
    EXPECT_FALSE(server_->Remote("archive/20261210083005.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerTest,
                         ::testing::Values(ServerKind::Sftp, ServerKind::Ftp, ServerKind::WebDav, ServerKind::S3),
                         KindLabel);

TEST_P(ServerTest, JobsWaitWhileTheServerIsDownThenAllArriveInOrder) {
    Configure(server_->Section("remote", kQuickRetries));
    server_->Stop();
    std::vector<std::string> pictures;
    for (int i = 0; i < 5; ++i) {
        const std::string path = "archive/2026121008300" + std::to_string(i) + ".jpg";
        WriteFile(web_ / path, PictureBytes(50000, 10 + i));
        pictures.push_back(path);
        EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, {path, "webcam.json"}, 0);
    }
    WriteFile(web_ / "webcam.json", "{}");
    ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web_.path().string()}, web_ / "uploader.out");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Queued("remote").size(), 6u);  // nothing lost while the server is down
    server_->Restart();
    ASSERT_EQ(uploader.Wait(kLongestRun), 0);
    std::string log = ReadFile(web_ / "upload.log");
    EXPECT_NE(log.find("remote failed archive/20261210083000.jpg"), std::string::npos) << log;
    std::size_t previous = 0;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(server_->Remote(pictures[i]) == PictureBytes(50000, 10 + i)) << pictures[i];
        const auto at = log.find("remote sent " + pictures[i]);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_GT(at, previous) << "sent out of order";
        previous = at;
    }
    EXPECT_EQ(server_->Remote("webcam.json"), "{}");
}

TEST_P(ServerTest, AnUploaderKilledMidTransferLeavesTheOldFileWholeAndTheNextRunCompletes) {
    Configure(server_->Section("remote"));
    const std::string before = PictureBytes(1000, 20);
    WriteFile(web_ / "webcam.jpg", before);
    EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, {"webcam.jpg"}, 0);
    ASSERT_EQ(RunUploader(), 0);
    const std::string after = PictureBytes(96 << 20, 21);
    WriteFile(web_ / "webcam.jpg", after);
    EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, {"webcam.jpg"}, 0);
    {
        // The server is paused once the transfer has begun, so the kill lands in its middle.
        ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web_.path().string()}, web_ / "uploader.out");
        for (int i = 0; i < 10000 && !server_->ReceivingFile(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        server_->Pause();
        uploader.Signal(SIGKILL);
        ASSERT_TRUE(uploader.Wait(10));
        server_->Resume();
    }
    // s3rver writes an object in place while receiving it (an S3 PUT replaces it whole), so
    // only the other servers can show the old file untouched.
    if (GetParam() != ServerKind::S3) {
        EXPECT_TRUE(server_->Remote("webcam.jpg") == before);
    }
    EXPECT_EQ(Queued("remote"), std::vector<std::string>{"webcam.jpg"});
    ASSERT_EQ(RunUploader(), 0) << ReadFile(web_ / "upload.log");
    const auto remote = server_->Remote("webcam.jpg");
    ASSERT_TRUE(remote);
    EXPECT_EQ(remote->size(), after.size());
    EXPECT_TRUE(*remote == after);
}

TEST_P(ServerTest, AServerThatStopsReadingEndsTheTransferWithinItsBound) {
    Configure(server_->Section("remote", "low_speed_time = 1\nmax_time = 4\nconnect_timeout = 2\n"));
    const UploadTarget target = LoadUploadTargets(Web()).targets.at(0);
    std::string error;
    const auto credentials = LoadCredentials(target, [](const char*) -> const char* { return nullptr; }, error);
    ASSERT_TRUE(credentials) << error;
    const auto transport = MakeCurlTransport(target, *credentials);
    ASSERT_TRUE(transport->Send("webcam.json", "{}").ok);  // the connection is open and reused
    server_->Pause();
    const auto started = std::chrono::steady_clock::now();
    const SendResult result = transport->Send("webcam.jpg", PictureBytes(64 << 20, 30));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    server_->Resume();
    EXPECT_FALSE(result.ok);
    std::string said = result.error;
    for (auto& c : said) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool namesTime = said.find("too slow") != std::string::npos || said.find("timed out") != std::string::npos ||
                           said.find("timeout") != std::string::npos;
    EXPECT_TRUE(namesTime) << result.error;
    // Not a speed target: the bound is 4 s, anything near it shows the transfer was abandoned
    // rather than left hanging.
    EXPECT_LT(seconds, 30) << result.error;
}


}  // namespace
}  // namespace tessel
