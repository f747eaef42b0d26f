// tessel-upload against real servers on loopback: SFTP (sshd), FTP (vsftpd), WebDAV (nginx) and
// S3 (s3rver).
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
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
using testing::Login;
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
    std::optional<int> RunUploader(const std::vector<std::string>& environment = {}) const {
        ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web_.path().string()}, web_ / "uploader.out", environment);
        return uploader.Wait(kLongestRun);
    }

    void Queue(const std::vector<std::string>& paths) const { EnqueueJobs(Web(), LoadUploadTargets(Web()).targets, paths, 0); }

    nlohmann::json TargetStatus(const std::string& target) const {
        return nlohmann::json::parse(ReadFile(web_ / "upload.json"))["targets"][target];
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
    const std::string secret = testing::kWrongSecret;
    Configure(server_->Section("remote", kQuickRetries, Login::Wrong));
    WriteFile(web_ / "archive/20261210083005.jpg", PictureBytes(1000, 3));
    Queue({"archive/20261210083005.jpg"});
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
    EXPECT_EQ(status["targets"]["remote"]["held_count"], 0) << "a login refused is the target's failure, not the file's";
    const std::string error = status["targets"]["remote"]["last_error"];
    const char* expected = GetParam() == ServerKind::Sftp     ? "SFTP upload of archive/20261210083005.jpg: "
                           : GetParam() == ServerKind::Ftp    ? "FTP upload of archive/20261210083005.jpg: "
                           : GetParam() == ServerKind::WebDav ? "HTTP status 401"
                                                              : "HTTP status 403 (InvalidAccessKeyId)";
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
    const auto send = [&](const std::string& path, const std::string& bytes) {
        WriteFile(web_ / path, bytes);
        const FileDescriptor file(::open((web_ / path).c_str(), O_RDONLY | O_CLOEXEC));
        return transport->Send(path, {file.get(), bytes.size()});
    };
    ASSERT_TRUE(send("webcam.json", "{}").ok);  // the connection is open and reused
    server_->Pause();
    const auto started = std::chrono::steady_clock::now();
    const SendResult result = send("webcam.jpg", PictureBytes(64 << 20, 30));
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

// A planted or grown file is never taken into memory: it is sent from disk piece by piece, and
// one larger than max_upload_bytes is refused with a log line.
TEST(UploadFromDisk, TheUploaderSendsLargeFilesWithLittleMemoryAndRefusesThoseOverTheLimit) {
    std::string reason;
    const auto server = TestServer::Start(ServerKind::WebDav, reason);
    if (!server) GTEST_SKIP() << reason;
    const ScratchDirectory web;
    WriteFile(web / "pictrex.ini", server->Section("remote"));
    const auto sparse = [&](const std::string& path, off_t size) {
        WriteFile(web / path, "");
        ASSERT_EQ(::truncate((web / path).c_str(), size), 0);
    };
    sparse("site.json", off_t{700} << 20);                     // queued as a changed site file
    sparse("archive/20261210083005.jpg", off_t{200} << 20);    // below the default limit of 512 MiB
    const WebDirectory dir = WebDirectory::Open(web.path());
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, {"archive/20261210083005.jpg"}, 0);
    ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out");
    ASSERT_EQ(uploader.Wait(kLongestRun), 0);
    const long peak = uploader.PeakResidentKilobytes();
    std::printf("tessel-upload peak resident set: %ld KiB (200 MiB sent, 700 MiB refused)\n", peak);
    EXPECT_LT(peak, 64 * 1024) << "the file was taken into memory";
    const std::string log = ReadFile(web / "upload.log");
    EXPECT_NE(log.find("remote refused site.json: 734003200 bytes, more than max_upload_bytes (536870912); not sent"),
              std::string::npos) << log;
    EXPECT_EQ(std::filesystem::file_size(server->root() / "archive/20261210083005.jpg"), std::uintmax_t{200} << 20);
    EXPECT_FALSE(std::filesystem::exists(server->root() / "site.json"));
    std::filesystem::remove(server->root() / "archive/20261210083005.jpg");
}

// nginx refuses one path (403) and a body above its limit (413): both jobs are held and listed,
// the 413 is named as a size limit, and the jobs behind them arrive.
TEST(HeldJobs, FilesTheServerRefusesAreHeldAndTheQueueBehindThemArrives) {
    std::string reason;
    const auto server = TestServer::Start(ServerKind::WebDav, reason);
    if (!server) GTEST_SKIP() << reason;
    const ScratchDirectory web;
    WriteFile(web / "pictrex.ini", server->Section("remote", kQuickRetries));
    const std::vector<std::string> paths = {"archive/forbidden.jpg", "archive/days/20261210.mp4", "webcam.jpg",
                                            "archive/20261210083005.jpg"};
    WriteFile(web / paths[0], PictureBytes(1000, 1));
    WriteFile(web / paths[1], PictureBytes(2 << 20, 2));  // above the 1 MiB limit
    WriteFile(web / paths[2], PictureBytes(1000, 3));
    WriteFile(web / paths[3], PictureBytes(1000, 4));
    const WebDirectory dir = WebDirectory::Open(web.path());
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, paths, 0);
    ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out");
    ASSERT_EQ(uploader.Wait(kLongestRun), 0) << "held jobs alone do not keep the uploader running";
    EXPECT_TRUE(server->Remote(paths[2]) == ReadFile(web / paths[2]));
    EXPECT_TRUE(server->Remote(paths[3]) == ReadFile(web / paths[3]));
    const auto status = nlohmann::json::parse(ReadFile(web / "upload.json"))["targets"]["remote"];
    ASSERT_EQ(status["held_count"], 2) << status.dump();
    EXPECT_EQ(status["held"][0]["path"], paths[0]);
    EXPECT_NE(status["held"][0]["reason"].get<std::string>().find("HTTP status 403"), std::string::npos);
    EXPECT_EQ(status["held"][1]["path"], paths[1]);
    EXPECT_NE(status["held"][1]["reason"].get<std::string>().find(
                  "HTTP status 413: the file is larger than the server accepts"), std::string::npos) << status.dump();
    EXPECT_EQ(status["queue_length"], 0);
    const std::string log = ReadFile(web / "upload.log");
    EXPECT_NE(log.find("remote held archive/forbidden.jpg: WebDAV PUT of archive/forbidden.jpg: HTTP status 403"),
              std::string::npos) << log;
}

// Without known_hosts the server's key must be in the system's or the account's known-hosts
// file: a freshly made key is refused, unless accept_new_host_key = yes, which records it in the
// account's ~/.ssh/known_hosts; a different key for a recorded host is refused even then.
TEST(SftpHostKeys, AnUnknownHostKeyIsRefusedByDefaultAndRecordedOnlyWhenAccepted) {
    std::string reason;
    const auto server = TestServer::Start(ServerKind::Sftp, reason);
    if (!server) GTEST_SKIP() << reason;
    const ScratchDirectory web;
    const ScratchDirectory home;
    const std::vector<std::string> environment = {"HOME=" + home.path().string()};
    const std::string section = testing::WithoutLine(server->Section("remote"),
                                                     "known_hosts = " + (server->root().parent_path() / "known_hosts").string());
    ASSERT_EQ(section.find("known_hosts"), std::string::npos) << section;
    // A refused key is the target's failure; its next attempt is set beyond the uploader's idle
    // limit, so that each run ends after one attempt.
    const std::string quickEnd = "retry_first = 200\n";
    WriteFile(web / "pictrex.ini", section + quickEnd);
    WriteFile(web / "webcam.jpg", PictureBytes(1000, 5));
    const WebDirectory dir = WebDirectory::Open(web.path());
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, {"webcam.jpg"}, 0);
    const auto run = [&] {
        ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out", environment);
        return uploader.Wait(kLongestRun);
    };
    ASSERT_EQ(run(), 0) << ReadFile(web / "upload.log") << ReadFile(web / "upload.json");
    std::string log = ReadFile(web / "upload.log");
    EXPECT_NE(log.find("is in none of /etc/ssh/ssh_known_hosts, " + (home / ".ssh/known_hosts").string() + "; refused"),
              std::string::npos) << log;
    EXPECT_FALSE(server->Remote("webcam.jpg"));
    EXPECT_FALSE(std::filesystem::exists(home / ".ssh/known_hosts"));

    std::filesystem::remove(web / "upload.json");  // the wait after the refusal is over
    WriteFile(web / "pictrex.ini", section + quickEnd + "accept_new_host_key = yes\n");
    ASSERT_EQ(run(), 0);
    EXPECT_TRUE(server->Remote("webcam.jpg") == ReadFile(web / "webcam.jpg"));
    const std::string recorded = ReadFile(home / ".ssh/known_hosts");
    const std::string hostKey = ReadFile(server->root().parent_path() / "host_key.pub");
    EXPECT_NE(recorded.find(hostKey.substr(0, hostKey.rfind(' '))), std::string::npos) << recorded;
    EXPECT_NE(ReadFile(web / "upload.log").find("accepted the new host key of 127.0.0.1:"), std::string::npos);

    // The recorded key now stands for the server: a different one is refused, accepted new keys or not.
    const std::string other = recorded.substr(0, recorded.find(' ')) +
                              " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIOkdCnS8KCNXqVhmG2rT4ArDWmHAKvk5a2IJe0VdTnKo\n";
    WriteFile(home / ".ssh/known_hosts", other);
    WriteFile(web / "webcam.jpg", PictureBytes(1000, 6));
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, {"webcam.jpg"}, 0);
    ASSERT_EQ(run(), 0) << ReadFile(web / "upload.log");
    log = ReadFile(web / "upload.log");
    EXPECT_NE(log.find("differs from the one in"), std::string::npos) << log;
    EXPECT_EQ(ReadFile(home / ".ssh/known_hosts"), other);
}

// Credentials over http:// are refused unless allow_insecure = yes: the queue is kept and the log says why.
TEST(CredentialsInClear, AreRefusedOverHttpUnlessAllowed) {
    std::string reason;
    const auto server = TestServer::Start(ServerKind::WebDav, reason);
    if (!server) GTEST_SKIP() << reason;
    const ScratchDirectory web;
    WriteFile(web / "pictrex.ini", testing::WithoutLine(server->Section("remote"), "allow_insecure = yes"));
    WriteFile(web / "webcam.jpg", PictureBytes(1000, 7));
    const WebDirectory dir = WebDirectory::Open(web.path());
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, {"webcam.jpg"}, 0);
    ChildProcess refused({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out");
    ASSERT_EQ(refused.Wait(kLongestRun), 0);
    EXPECT_NE(ReadFile(web / "upload.log").find("remote not used: its password would be sent in clear over http://; "
                                                "use https:// (or ftps://), or set allow_insecure = yes; its queue is kept"),
              std::string::npos) << ReadFile(web / "upload.log");
    EXPECT_FALSE(server->Remote("webcam.jpg"));
    std::vector<std::string> notes;
    EXPECT_EQ(TargetSpool(dir, "remote", false).Jobs(notes).size(), 1u);

    WriteFile(web / "pictrex.ini", server->Section("remote"));
    ChildProcess allowed({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out");
    ASSERT_EQ(allowed.Wait(kLongestRun), 0);
    EXPECT_TRUE(server->Remote("webcam.jpg") == ReadFile(web / "webcam.jpg"));
}

// An uploader waiting for its next attempt sleeps: it is not woken every few milliseconds to
// look at the queues. Wake-ups are counted as voluntary context switches over three seconds.
TEST(IdleUploader, SleepsUntilItsNextAttempt) {
    const ScratchDirectory web;
    const int closedPort = testing::FreeLoopbackPort();
    WriteFile(web / "pictrex.ini", "[upload down]\nurl = ftp://127.0.0.1:" + std::to_string(closedPort) +
                                       "/www/\nretry_first = 60\nconnect_timeout = 2\n");
    WriteFile(web / "webcam.jpg", "x");
    const WebDirectory dir = WebDirectory::Open(web.path());
    EnqueueJobs(dir, LoadUploadTargets(dir).targets, {"webcam.jpg"}, 0);
    ChildProcess uploader({TESSEL_UPLOAD_PROGRAM, web.path().string()}, web / "uploader.out");
    const auto switches = [&] {
        const std::string status = ReadFile("/proc/" + std::to_string(uploader.pid()) + "/status");
        const auto at = status.find("\nvoluntary_ctxt_switches:");
        return at == std::string::npos ? -1L : std::stol(status.substr(at + 26));
    };
    for (int i = 0; i < 1000 && ReadFile(web / "upload.log").find("next attempt in") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long before = switches();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const long after = switches();
    uploader.Kill();
    std::printf("waiting uploader: %ld voluntary context switches in 3 s\n", after - before);
    ASSERT_GE(before, 0);
    EXPECT_LE(after - before, 5);
}

}  // namespace
}  // namespace tessel
