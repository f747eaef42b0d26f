#include "archindex_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "scratch_web_directory.h"

namespace pictrex {
namespace {

TEST(FindArchindexTest, PrefersTheProgramsDirectoryThenSearchesPath) {
    tessel::testing::ScratchWebDirectory dir;
    for (const char* folder : {"beside", "first", "second", "plain"}) std::filesystem::create_directories(dir / folder);
    for (const char* program : {"beside/archindex", "second/archindex", "plain/archindex"}) {
        dir.Write(program, std::string("#!/bin/sh\n"));
        ::chmod((dir / program).c_str(), program[0] == 'p' ? 0644 : 0755);  // plain/: not executable
    }
    const std::string path = (dir / "plain").string() + "::" + (dir / "first").string() + ":" + (dir / "second").string();
    EXPECT_EQ(FindArchindex(dir / "beside", path), dir / "beside/archindex");
    EXPECT_EQ(FindArchindex(dir / "first", path), dir / "second/archindex");
    EXPECT_EQ(FindArchindex("", (dir / "plain").string()), std::nullopt);
}

}  // namespace
}  // namespace pictrex
