// Starting the converter as a real process.
#include <chrono>
#include <csignal>
#include <ostream>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "process_converter_launcher.h"
#include "program_lookup.h"
#include "station_fixture.h"

namespace tessel::testing {
namespace {

namespace fs = std::filesystem;

struct SplitRow {
    const char* text;
    std::vector<std::string> words;
};

void PrintTo(const SplitRow& row, std::ostream* out)
{
    *out << '"' << row.text << '"';
}

class SplitParametersTest : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitParametersTest, SplitsOnBlanks)
{
    EXPECT_EQ(SplitParameters(GetParam().text), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitParametersTest,
    ::testing::Values(SplitRow{"19991015083005 ARCHIVE", {"19991015083005", "ARCHIVE"}},
                      SplitRow{"19991015083005 NOARCHIVE off", {"19991015083005", "NOARCHIVE", "off"}},
                      SplitRow{"  a \t b  ", {"a", "b"}}, SplitRow{"", {}}, SplitRow{"   ", {}}));

void MakeProgram(const fs::path& path, const std::string& script, bool executable = true)
{
    WriteFile(path, script);
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

class FindProgramTest : public ::testing::Test {
protected:
    FindProgramTest()
    {
        for (const char* dir : {"exe", "first", "second"}) {
            fs::create_directory(dir);
        }
    }

    TemporaryWorkDir workDir;
};

TEST_F(FindProgramTest, PrefersTheExecutablesDirectory)
{
    MakeProgram("exe/conv", "#!/bin/sh\n");
    MakeProgram("first/conv", "#!/bin/sh\n");
    EXPECT_EQ(FindProgram("conv", "exe", "first"), "exe/conv");
}

TEST_F(FindProgramTest, ThenSearchesPathInOrder)
{
    MakeProgram("second/conv", "#!/bin/sh\n");
    EXPECT_EQ(FindProgram("conv", "exe", "first:second"), "second/conv");
    MakeProgram("first/conv", "#!/bin/sh\n");
    EXPECT_EQ(FindProgram("conv", "exe", "first:second"), "first/conv");
}

TEST_F(FindProgramTest, SkipsFilesThatCannotRunAndDirectories)
{
    MakeProgram("exe/conv", "#!/bin/sh\n", false);
    fs::create_directory("first/conv");
    MakeProgram("second/conv", "#!/bin/sh\n");
    EXPECT_EQ(FindProgram("conv", "exe", "first:second"), "second/conv");
}

TEST_F(FindProgramTest, EmptyPathEntryMeansCurrentDirectory)
{
    MakeProgram("conv", "#!/bin/sh\n");
    EXPECT_EQ(FindProgram("conv", "exe", "first::second"), "./conv");
}

TEST_F(FindProgramTest, NothingWhenMissing)
{
    EXPECT_EQ(FindProgram("conv", "exe", "first:second"), std::nullopt);
    EXPECT_EQ(FindProgram("conv", "", ""), std::nullopt);
}

// Waits for a condition that another process brings about.
template <typename Condition>
bool WaitFor(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void PutFirstOnPath(const fs::path& dir)
{
    const char* path = std::getenv("PATH");
    setenv("PATH", (dir.string() + ":" + (path != nullptr ? path : "")).c_str(), 1);
}

class ProcessLauncherTest : public ::testing::Test {
protected:
    TemporaryWorkDir workDir;
};

TEST_F(ProcessLauncherTest, StartsProgramFromPathInCurrentDirectoryWithSplitArguments)
{
    fs::create_directory("bin");
    MakeProgram("bin/tessel-test-converter",
                "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > args.tmp\nmv args.tmp args.txt\n");
    PutFirstOnPath(workDir.Path() / "bin");

    ProcessConverterLauncher launcher("tessel-test-converter");
    launcher.Start("19991015083005  NOARCHIVE off");

    ASSERT_TRUE(WaitFor([] { return fs::exists("args.txt"); }));
    EXPECT_EQ(ReadFile("args.txt"), "3|19991015083005|NOARCHIVE|off|");
    // The finished converter is reaped, not left as a zombie.
    EXPECT_TRUE(WaitFor([&launcher] { return launcher.RunningCount() == 0; }));
}

TEST_F(ProcessLauncherTest, DoesNotWaitForTheConverter)
{
    fs::create_directory("bin");
    MakeProgram("bin/tessel-test-converter", "#!/bin/sh\nwhile [ ! -e go ]; do sleep 0.05; done\n");
    PutFirstOnPath(workDir.Path() / "bin");

    ProcessConverterLauncher launcher("tessel-test-converter");
    launcher.Start("a");
    launcher.Start("b");
    EXPECT_EQ(launcher.RunningCount(), 2u);
    WriteFile("go", "");
    EXPECT_TRUE(WaitFor([&launcher] { return launcher.RunningCount() == 0; }));
}

TEST_F(ProcessLauncherTest, WaitForAllReturnsOnceTheConvertersEndedAndGivesUpAtItsLimit)
{
    fs::create_directory("bin");
    MakeProgram("bin/tessel-test-converter", "#!/bin/sh\nwhile [ ! -e go ]; do sleep 0.05; done\necho done > \"$1\"\n");
    PutFirstOnPath(workDir.Path() / "bin");

    ProcessConverterLauncher launcher("tessel-test-converter");
    launcher.Start("first");
    EXPECT_FALSE(launcher.WaitForAll(std::chrono::milliseconds(100)));
    EXPECT_EQ(launcher.RunningCount(), 1u);
    WriteFile("go", "");
    EXPECT_TRUE(launcher.WaitForAll(std::chrono::seconds(20)));
    // It returned because the converter ended, so its work is done.
    EXPECT_EQ(ReadFile("first"), "done\n");
}

TEST_F(ProcessLauncherTest, ConverterStartsWithNoBlockedSignalsWhileTheStationBlocksItsOwn)
{
    // tesseld blocks its stop and reload signals for its signal descriptor; the converter must
    // still stop on SIGTERM.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) sigaddset(&blocked, signal);
    sigset_t saved;
    sigprocmask(SIG_BLOCK, &blocked, &saved);
    fs::create_directory("bin");
    // Read with the shell's own commands: while the shell waits for a child such as sed, it blocks
    // every signal itself, and that is the mask the child would see.
    MakeProgram("bin/tessel-test-converter",
                "#!/bin/sh\nwhile read -r key value; do [ \"$key\" = SigBlk: ] && echo \"$value\"; done "
                "< /proc/$$/status > mask.tmp\nmv mask.tmp mask.txt\n");
    PutFirstOnPath(workDir.Path() / "bin");
    ProcessConverterLauncher launcher("tessel-test-converter");
    launcher.Start("19991015083005 ARCHIVE");
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    ASSERT_TRUE(WaitFor([] { return fs::exists("mask.txt"); }));
    EXPECT_EQ(ReadFile("mask.txt"), "0000000000000000\n");
}

TEST_F(ProcessLauncherTest, MissingProgramIsLoggedOnStandardError)
{
    setenv("PATH", workDir.Path().c_str(), 1);
    ProcessConverterLauncher launcher("tessel-test-no-such-converter");
    ::testing::internal::CaptureStderr();
    launcher.Start("19991015083005 ARCHIVE");
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("cannot start tessel-test-no-such-converter"), std::string::npos);
    EXPECT_EQ(launcher.RunningCount(), 0u);
}

TEST_F(ProcessLauncherTest, FailedExecIsLoggedOnStandardError)
{
    // Executable but not a runnable program.
    fs::create_directory("bin");
    MakeProgram("bin/tessel-test-converter", "\x7f" "ELF garbage");
    PutFirstOnPath(workDir.Path() / "bin");
    ProcessConverterLauncher launcher("tessel-test-converter");
    ::testing::internal::CaptureStderr();
    launcher.Start("x");
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("cannot start"), std::string::npos);
}

}  // namespace
}  // namespace tessel::testing
