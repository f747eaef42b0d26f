// The drain loop over a scripted transport and a simulated clock: order, coalescing, backoff,
// skipped files, status and log, credentials.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// Records what it is asked to send; fails while `failuresLeft` is above zero.
struct ScriptedTransport : Transport {
    std::vector<std::pair<std::string, std::string>> sent;
    int failuresLeft = 0;
    int attempts = 0;
    SendResult Send(const std::string& path, std::string_view bytes) override {
        ++attempts;
        if (failuresLeft > 0) {
            --failuresLeft;
            return {false, "login refused for password hunter2"};
        }
        sent.emplace_back(path, std::string(bytes));
        return {true, {}};
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
                  [] { return std::time_t{1765351805}; }};
    }

    WebDirectory Web() const { return WebDirectory::Open(dir_.path()); }

    // Drains with the scripted transport (owned by the uploader) and returns it.
    ScriptedTransport* Drain(int failures = 0) {
        auto transport = std::make_unique<ScriptedTransport>();
        transport->failuresLeft = failures;
        ScriptedTransport* raw = transport.get();
        std::vector<TargetConnection> connections;
        connections.push_back({target_, std::move(transport), {}, {"hunter2"}});
        uploader_ = std::make_unique<Uploader>(Web(), std::move(connections), clock_);
        uploader_->Drain();
        return raw;
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
    EXPECT_FALSE(uploader_->HasJobs());
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
    // Waits of 5, 10, 20, 30, 30 seconds passed between the attempts (the clock is simulated).
    EXPECT_NEAR(seconds_ - started, 95, 0.5);
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
    EXPECT_EQ(status["targets"]["web"]["last_success_epoch"], 1765351805);
    EXPECT_EQ(status["targets"]["web"]["consecutive_failures"], 0);
    EXPECT_EQ(status["targets"]["web"]["url"], "sftp://cam@host/www/");
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

TEST(WithoutSecrets, ReplacesEveryOccurrenceAndIgnoresEmptySecrets) {
    EXPECT_EQ(WithoutSecrets("a pw pw b", {"", "pw"}), "a *** *** b");
    EXPECT_EQ(WithoutSecrets("nothing", {""}), "nothing");
}

}  // namespace
}  // namespace tessel
