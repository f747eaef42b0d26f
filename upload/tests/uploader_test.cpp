// The drain loop over a scripted transport and a simulated clock: order, coalescing, backoff,
// held jobs, skipped and refused files, the idle exit, status and log, credentials.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include <nlohmann/json.hpp>

#include "credentials.h"
#include "scratch_directory.h"
#include "upload_spool.h"
#include "uploader.h"

namespace tessel {
namespace {

using testing::ReadFile;
using testing::ScratchDirectory;
using testing::WriteFile;

// Records what it is asked to send; fails while `failuresLeft` is above zero, and refuses the
// paths in `refused` with the given scope.
struct ScriptedTransport : Transport {
    std::vector<std::pair<std::string, std::string>> sent;
    int failuresLeft = 0;
    int attempts = 0;
    std::set<std::string> refused;
    FailureScope refusal = FailureScope::FileRefused;
    SendResult Send(const std::string& path, const LocalFile& file) override {
        ++attempts;
        if (failuresLeft > 0) {
            --failuresLeft;
            return {false, "login refused for password hunter2", FailureScope::Target, {}};
        }
        if (refused.count(path)) return {false, "HTTP status 403", refusal, {}};
        std::string bytes(file.size, '\0');
        EXPECT_EQ(::pread(file.descriptor, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        sent.emplace_back(path, bytes);
        return {true, {}, {}, {}};
    }
};

class UploaderTest : public ::testing::Test {
protected:
    UploaderTest() {
        target_.name = "web";
        target_.url = "sftp://cam@host/www/";
        target_.retryFirst = 5;
        target_.retryLongest = 30;
        clock_ = {[this] { return seconds_; }, [this](double s) { seconds_ += s; sleeps_.push_back(s); },
                  [this] { return std::time_t{1765351805} + static_cast<std::time_t>(seconds_); }};
    }

    WebDirectory Web() const { return WebDirectory::Open(dir_.path()); }

    // Drains with the scripted transport (owned by the uploader) and returns it.
    ScriptedTransport* Drain(int failures = 0, std::set<std::string> refused = {},
                             FailureScope refusal = FailureScope::FileRefused) {
        auto transport = std::make_unique<ScriptedTransport>();
        transport->failuresLeft = failures;
        transport->refused = std::move(refused);
        transport->refusal = refusal;
        ScriptedTransport* raw = transport.get();
        std::vector<TargetConnection> connections;
        connections.push_back({target_, std::move(transport), {}, {"hunter2"}});
        uploader_ = std::make_unique<Uploader>(Web(), std::move(connections), clock_);
        uploader_->Drain();
        return raw;
    }

    nlohmann::json Status() const { return nlohmann::json::parse(ReadFile(dir_ / "upload.json")); }
    std::vector<std::string> Queued() const {
        std::vector<std::string> refused;
        std::vector<std::string> paths;
        for (const auto& job : TargetSpool(Web(), target_.name, false).Jobs(refused)) paths.push_back(job.path);
        return paths;
    }

    ScratchDirectory dir_;
    UploadTarget target_;
    UploaderClock clock_;
    double seconds_ = 1000;
    std::vector<double> sleeps_;
    std::unique_ptr<Uploader> uploader_;
};

TEST_F(UploaderTest, SendsOldestFirstWithTheCurrentContentAndEmptiesTheQueue) {
    WriteFile(dir_ / "webcam.jpg", "old");
    WriteFile(dir_ / "archive/20261210083005.jpg", "picture 1");
    WriteFile(dir_ / "archive/20261210083105.jpg", "picture 2");
    EnqueueJobs(Web(), {target_}, {"archive/20261210083005.jpg", "webcam.jpg"}, 0);
    EnqueueJobs(Web(), {target_}, {"archive/20261210083105.jpg", "webcam.jpg"}, 0);
    WriteFile(dir_ / "webcam.jpg", "newest");
    const ScriptedTransport* transport = Drain();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"archive/20261210083005.jpg", "picture 1"}, {"archive/20261210083105.jpg", "picture 2"}, {"webcam.jpg", "newest"}};
    EXPECT_EQ(transport->sent, expected);
    EXPECT_FALSE(uploader_->HasDueJobs());
    const auto status = nlohmann::json::parse(ReadFile(dir_ / "upload.json"));
    EXPECT_EQ(status["targets"]["web"]["queue_length"], 0);
    EXPECT_EQ(status["targets"]["web"]["last_success_path"], "webcam.jpg");
    EXPECT_TRUE(status["targets"]["web"]["last_error"].is_null());
    EXPECT_NE(ReadFile(dir_ / "upload.log").find("web sent archive/20261210083005.jpg (9 bytes"), std::string::npos);
}

TEST_F(UploaderTest, FailuresKeepTheJobAndWaitLongerEachTimeUpToTheLongestWait) {
    WriteFile(dir_ / "archive/20261210083005.jpg", "picture");
    EnqueueJobs(Web(), {target_}, {"archive/20261210083005.jpg"}, 0);
    const double started = seconds_;
    const ScriptedTransport* transport = Drain(5);
    ASSERT_EQ(transport->sent.size(), 1u);
    EXPECT_EQ(transport->attempts, 6);
    // Waits of 5, 10, 20, 30, 30 seconds passed between the attempts (the clock is simulated),
    // each slept in one piece: no looking at the queues in between.
    EXPECT_NEAR(seconds_ - started, 95, 0.5);
    EXPECT_EQ(sleeps_, (std::vector<double>{5, 10, 20, 30, 30}));
    const std::string log = ReadFile(dir_ / "upload.log");
    EXPECT_NE(log.find("next attempt in 5.000 s"), std::string::npos) << log;
    EXPECT_NE(log.find("next attempt in 20 s"), std::string::npos) << log;
    EXPECT_NE(log.find("next attempt in 30 s"), std::string::npos) << log;
    EXPECT_EQ(log.find("next attempt in 40"), std::string::npos) << log;
    // The secret in the error text never reaches the log or the status.
    EXPECT_EQ(log.find("hunter2"), std::string::npos);
    EXPECT_NE(log.find("password ***"), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "upload.json").find("hunter2"), std::string::npos);
}

TEST_F(UploaderTest, AFileGoneOrPlantedAsALinkIsSkippedAndTheQueueMovesOn) {
    WriteFile(dir_ / "archive/20261210083105.jpg", "kept");
    std::filesystem::create_symlink("/etc/hostname", dir_ / "webcam.json");
    EnqueueJobs(Web(), {target_}, {"archive/20261210083005.jpg", "webcam.json", "archive/20261210083105.jpg"}, 0);
    const ScriptedTransport* transport = Drain();
    ASSERT_EQ(transport->sent.size(), 1u);
    EXPECT_EQ(transport->sent[0].first, "archive/20261210083105.jpg");
    const std::string log = ReadFile(dir_ / "upload.log");
    EXPECT_NE(log.find("skipped archive/20261210083005.jpg: the file is gone"), std::string::npos) << log;
    EXPECT_NE(log.find("skipped webcam.json"), std::string::npos) << log;
}

TEST_F(UploaderTest, AStatusFromAnEarlierRunKeepsItsLastSuccess) {
    WriteFile(dir_ / "upload.json",
              R"({"targets":{"web":{"last_success_epoch":1700000000,"last_success_path":"webcam.jpg"}}})");
    WriteFile(dir_ / "webcam.jpg", "x");
    EnqueueJobs(Web(), {target_}, {"webcam.jpg"}, 0);
    Drain(1);
    const auto status = nlohmann::json::parse(ReadFile(dir_ / "upload.json"));
    EXPECT_GT(status["targets"]["web"]["last_success_epoch"], 1700000000);
    EXPECT_EQ(status["targets"]["web"]["consecutive_failures"], 0);
    EXPECT_EQ(status["targets"]["web"]["url"], "sftp://cam@host/www/");
}

TEST_F(UploaderTest, AFileTheServerRefusesIsHeldTheQueueGoesOnAndItIsRetriedLater) {
    target_.retryHeld = 3600;
    for (const char* path : {"archive/20261210083005.jpg", "archive/days/20261210.mp4", "webcam.jpg"}) WriteFile(dir_ / path, path);
    EnqueueJobs(Web(), {target_}, {"archive/20261210083005.jpg", "archive/days/20261210.mp4", "webcam.jpg"}, 0);
    const ScriptedTransport* transport = Drain(0, {"archive/days/20261210.mp4"});
    ASSERT_EQ(transport->sent.size(), 2u);
    EXPECT_EQ(transport->sent[1].first, "webcam.jpg");
    EXPECT_TRUE(sleeps_.empty()) << "a held file makes the queue wait for nothing";
    EXPECT_TRUE(Queued().empty());
    const std::string log = ReadFile(dir_ / "upload.log");
    EXPECT_NE(log.find("web held archive/days/20261210.mp4: HTTP status 403; the queue goes on, next attempt in 3600 s"),
              std::string::npos) << log;
    auto status = Status()["targets"]["web"];
    ASSERT_EQ(status["held_count"], 1) << status.dump();
    EXPECT_EQ(status["held"][0]["path"], "archive/days/20261210.mp4");
    EXPECT_EQ(status["held"][0]["reason"], "HTTP status 403");
    EXPECT_EQ(status["consecutive_failures"], 0);
    EXPECT_FALSE(uploader_->HasDueJobs());

    // An hour later (a new uploader run: the held job is read back from disk) the server takes it.
    seconds_ += 3600;
    transport = Drain();
    ASSERT_EQ(transport->sent.size(), 1u);
    EXPECT_EQ(transport->sent[0].first, "archive/days/20261210.mp4");
    EXPECT_EQ(Status()["targets"]["web"]["held_count"], 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "upload-spool/web/held"));
}

TEST_F(UploaderTest, RefusalsThatMayPassAreRetriedThenTheJobIsHeld) {
    WriteFile(dir_ / "archive/20261210083005.jpg", "locked");
    WriteFile(dir_ / "webcam.jpg", "next");
    EnqueueJobs(Web(), {target_}, {"archive/20261210083005.jpg", "webcam.jpg"}, 0);
    const ScriptedTransport* transport = Drain(0, {"archive/20261210083005.jpg"}, FailureScope::File);
    EXPECT_EQ(transport->attempts, kTriesBeforeHold + 1);
    ASSERT_EQ(transport->sent.size(), 1u);
    EXPECT_EQ(transport->sent[0].first, "webcam.jpg");
    EXPECT_EQ(sleeps_, (std::vector<double>{5, 10}));
    EXPECT_EQ(Status()["targets"]["web"]["held"][0]["path"], "archive/20261210083005.jpg");
}

TEST_F(UploaderTest, AFileLargerThanTheLimitIsRefusedWithALogLineAndNotSent) {
    target_.maxUploadBytes = 10;
    WriteFile(dir_ / "site.json", std::string(11, 'x'));
    WriteFile(dir_ / "webcam.jpg", std::string(10, 'y'));
    EnqueueJobs(Web(), {target_}, {"webcam.jpg"}, 0);
    const ScriptedTransport* transport = Drain();
    ASSERT_EQ(transport->sent.size(), 1u);
    EXPECT_EQ(transport->sent[0].first, "webcam.jpg");
    EXPECT_NE(ReadFile(dir_ / "upload.log").find("web refused site.json: 11 bytes, more than max_upload_bytes (10); not sent"),
              std::string::npos);
    EXPECT_TRUE(Queued().empty());
}

// A target that keeps failing: the uploader exits once its next attempt is further away than
// kIdleExitSeconds, and the next run (started by the converter) keeps the wait instead of trying at once.
TEST_F(UploaderTest, AnUploaderWhoseTargetKeepsFailingExitsAndTheNextRunKeepsTheWait) {
    target_.retryLongest = 600;
    WriteFile(dir_ / "webcam.jpg", "x");
    EnqueueJobs(Web(), {target_}, {"webcam.jpg"}, 0);
    const ScriptedTransport* transport = Drain(1000);
    EXPECT_EQ(transport->attempts, 6);
    EXPECT_EQ(sleeps_, (std::vector<double>{5, 10, 20, 40, 80}));
    EXPECT_EQ(Queued(), std::vector<std::string>{"webcam.jpg"});
    EXPECT_FALSE(uploader_->HasDueJobs());
    EXPECT_EQ(Status()["targets"]["web"]["next_attempt_epoch"], 1765351805 + static_cast<std::time_t>(seconds_) + 160);

    seconds_ += 30;
    transport = Drain(1000);
    EXPECT_EQ(transport->attempts, 0);
    seconds_ += 130;
    transport = Drain(1000);
    EXPECT_EQ(transport->attempts, 1);
    EXPECT_NE(ReadFile(dir_ / "upload.log").find("next attempt in 320 s"), std::string::npos);
}

TEST_F(UploaderTest, ATargetRefusedAtSetUpKeepsItsQueueAndSaysWhy) {
    WriteFile(dir_ / "webcam.jpg", "x");
    EnqueueJobs(Web(), {target_}, {"webcam.jpg"}, 0);
    std::vector<TargetConnection> connections;
    connections.push_back({target_, nullptr, "its password would be sent in clear", {}});
    Uploader uploader(Web(), std::move(connections), clock_);
    uploader.Drain();
    EXPECT_FALSE(uploader.HasDueJobs());
    EXPECT_TRUE(sleeps_.empty());
    EXPECT_EQ(Queued(), std::vector<std::string>{"webcam.jpg"});
    EXPECT_EQ(Status()["targets"]["web"]["last_error"], "its password would be sent in clear");
    EXPECT_NE(ReadFile(dir_ / "upload.log").find("web not used: its password would be sent in clear; its queue is kept"),
              std::string::npos);
}

class CredentialsTest : public ::testing::Test {
protected:
    ScratchDirectory dir_;
    UploadTarget target_ = [] {
        UploadTarget t;
        t.name = "my-cdn";
        return t;
    }();
    static const char* NoEnvironment(const char*) { return nullptr; }
};

TEST_F(CredentialsTest, ReadsAPrivateFileAndTheEnvironmentWins) {
    WriteFile(dir_ / "secret", "# keys\nuser = cam\npassword = hunter2\naccess_key_id = AK\nsecret_access_key = SK\n");
    ::chmod((dir_ / "secret").c_str(), 0600);
    target_.credentialsFile = (dir_ / "secret").string();
    std::string error;
    const auto fromEnvironment = [](const char* name) -> const char* {
        return std::string(name) == "TESSEL_UPLOAD_MY_CDN_SECRET_ACCESS_KEY" ? "from-env" : nullptr;
    };
    const auto credentials = LoadCredentials(target_, fromEnvironment, error);
    ASSERT_TRUE(credentials) << error;
    EXPECT_EQ(credentials->user, "cam");
    EXPECT_EQ(credentials->password, "hunter2");
    EXPECT_EQ(credentials->accessKeyId, "AK");
    EXPECT_EQ(credentials->secretAccessKey, "from-env");
}

TEST_F(CredentialsTest, AFileOthersMayReadOrABadLineIsRefusedWithoutShowingIt) {
    struct Case {
        const char* text;
        mode_t mode;
        const char* error;
    };
    for (const Case& c : {Case{"password = hunter2\n", 0644, "other accounts may read it"},
                          Case{"password = hunter2\n", 0620, "other accounts may read it"},
                          Case{"hunter2\n", 0600, "line 1 not understood"}}) {
        WriteFile(dir_ / "secret", c.text);
        ::chmod((dir_ / "secret").c_str(), c.mode);
        target_.credentialsFile = (dir_ / "secret").string();
        std::string error;
        EXPECT_FALSE(LoadCredentials(target_, NoEnvironment, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos) << error;
    }
}

TEST_F(CredentialsTest, APasswordInClearIsRefusedUnlessAllowed) {
    Credentials credentials;
    credentials.password = "hunter2";
    for (const char* url : {"http://host/dav/", "ftp://host/www/"}) {
        target_.url = url;
        target_.allowInsecure = false;
        EXPECT_NE(RefusalInClear(target_, credentials).find("allow_insecure = yes"), std::string::npos) << url;
        target_.allowInsecure = true;
        EXPECT_EQ(RefusalInClear(target_, credentials), "") << url;
    }
    target_.allowInsecure = false;
    for (const char* url : {"https://host/dav/", "ftps://host/", "sftp://cam@host/"}) {
        target_.url = url;
        EXPECT_EQ(RefusalInClear(target_, credentials), "") << url;
    }
    target_.url = "ftp://host/";
    EXPECT_EQ(RefusalInClear(target_, Credentials{}), "") << "anonymous FTP sends no secret";
}

TEST(WithoutSecrets, ReplacesEveryOccurrenceAndIgnoresEmptySecrets) {
    EXPECT_EQ(WithoutSecrets("a pw pw b", {"", "pw"}), "a *** *** b");
    EXPECT_EQ(WithoutSecrets("nothing", {""}), "nothing");
}

}  // namespace
}  // namespace tessel
