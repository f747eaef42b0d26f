// A StationDialog wired to scripted stand-ins, running in a fresh temporary directory that
// plays the web directory. The view of StationTest starts out showing the defaults, as the
// window does.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "fake_dc25.h"
#include "scripted_view.h"
#include "station_dialog.h"
#include "station_fakes.h"

namespace tessel::testing {

// The stamp of FakeClock's default time.
inline constexpr const char* kDefaultStamp = "19991015083005";

// Makes a fresh directory the current one for its lifetime.
class TemporaryWorkDir {
public:
    TemporaryWorkDir();
    ~TemporaryWorkDir();
    TemporaryWorkDir(const TemporaryWorkDir&) = delete;
    TemporaryWorkDir& operator=(const TemporaryWorkDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// Whole content of a file, or nothing when it does not exist.
std::optional<std::string> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// What a StationDialog is wired to in the tests, and the fresh web directory it works in.
class StationStandIns : public ::testing::Test {
protected:
    TemporaryWorkDir workDir;
    ScriptedView view;
    RecordingTimer timer;
    FakeClock clock;
    RecordingSleeper sleeper;
    RecordingLauncher launcher;
};

// A StationDialog with the serial camera over the scripted driver.
class StationTest : public StationStandIns {
protected:
    StationTest();

    std::string ImageFileName(const std::string& stamp = kDefaultStamp) const;

    ScriptedAllocator allocator;
    StationDialog station{view, timer, clock, sleeper, launcher, allocator};
};

}  // namespace tessel::testing
