// A camera host that never answers and a name server that never answers, in a network namespace
// of the test's own (isolated_network.sh; needs root): the grab still ends at its deadline.
#include <gtest/gtest.h>

#include <chrono>

#include "camera_servers.h"

namespace tessel::camera_sources {
namespace {

using namespace std::chrono_literals;

struct ToolRun {
    std::optional<int> status;
    std::string output;
    std::chrono::duration<double> took{};
};

ToolRun GrabInIsolatedNetwork(const std::string& source) {
    testing::ScratchDirectory dir;
    const std::vector<std::string> argv = {
        "/usr/bin/unshare", "--net", "--mount", "/bin/sh", TESSEL_CAMERA_TEST_SCRIPTS "/isolated_network.sh",
        (dir / "resolv.conf").string(), TESSEL_GRAB_TOOL, "--timeout", "2", source, (dir / "picture.jpg").string()};
    const auto start = std::chrono::steady_clock::now();
    testing::ChildProcess tool(argv, dir / "output");
    ToolRun run;
    run.status = tool.Wait(30);
    run.took = std::chrono::steady_clock::now() - start;
    run.output = testing::ReadFile(dir / "output");
    return run;
}

TEST(NetworkFaults, ADeadHostOrNameServerEndsTheGrabAtItsDeadline) {
    struct Case {
        const char* source;
        const char* says;
    };
    const Case cases[] = {
        {"http://10.9.0.2/snapshot.jpg", "timeout: nothing within 2 s while waiting for the reply"},
        {"rtsp://10.9.0.2/live", "timeout: nothing within 2 s while setting up the stream"},
        {"http://camera.tessel.test/snapshot.jpg", "timeout: the name camera.tessel.test was not looked up"},
    };
    for (const Case& c : cases) {
        const ToolRun run = GrabInIsolatedNetwork(c.source);
        if (run.status == 77 || (run.status == 1 && run.output.starts_with("unshare:"))) {
            GTEST_SKIP() << "no network namespace of its own: " << run.output;
        }
        EXPECT_EQ(run.status, 1) << c.source << ": " << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.source << ": " << run.output;
        EXPECT_LT(run.took, 5s) << c.source;
    }
}

}  // namespace
}  // namespace tessel::camera_sources
