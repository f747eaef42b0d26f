// The bytes read by the process's threads other than the caller, from /proc.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "bytes_read.h"

namespace tessel::service {
namespace {

constexpr std::size_t kSize = 256 * 1024;

class BytesReadTest : public ::testing::Test {
protected:
    BytesReadTest()
    {
        char name[] = "/tmp/bytes-read-XXXXXX";
        const int descriptor = mkstemp(name);
        file = name;
        const std::string data(kSize, 'x');
        EXPECT_EQ(write(descriptor, data.data(), data.size()), static_cast<ssize_t>(data.size()));
        close(descriptor);
    }
    ~BytesReadTest() override { std::remove(file.c_str()); }

    void ReadFile() const
    {
        std::ifstream stream(file, std::ios::binary);
        std::vector<char> buffer(kSize);
        stream.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        EXPECT_EQ(stream.gcount(), static_cast<std::streamsize>(kSize));
    }

    std::string file;
};

TEST_F(BytesReadTest, AnotherThreadsReadingCounts)
{
    const uint64_t before = BytesReadByOtherThreads();
    std::promise<void> counted;
    std::promise<void> read;
    // The reader stays alive until it was counted: a thread's count leaves /proc with it.
    std::thread reader([&] {
        ReadFile();
        read.set_value();
        counted.get_future().wait();
    });
    read.get_future().wait();
    const uint64_t after = BytesReadByOtherThreads();
    counted.set_value();
    reader.join();
    EXPECT_GE(after - before, kSize);
}

TEST_F(BytesReadTest, TheCallersOwnReadingDoesNot)
{
    const uint64_t before = BytesReadByOtherThreads();
    ReadFile();
    EXPECT_LT(BytesReadByOtherThreads() - before, kSize);
}

}  // namespace
}  // namespace tessel::service
