#include "video_encoder.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "file_descriptor.h"

namespace tessel::daily {
namespace {

constexpr int kWidestFrame = 1280;
// The whole video stays below 8 MB: the bit rate is capped so that the day's duration fits in
// this budget (less for the container), and at a sensible rate for short days.
constexpr double kVideoBudgetBytes = 7.5 * 1000 * 1000;
constexpr int kHighestKbits = 4000;
constexpr std::size_t kLongestMessage = 2000;

int Even(int n) { return std::max(2, n - n % 2); }

// A file without a name for ffmpeg's messages: unlike a pipe it never fills up and blocks ffmpeg
// while this process is busy writing pictures into the other pipe.
int MessageFile() {
    int descriptor = ::open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0) return descriptor;
    char name[] = "/tmp/tessel-daily-XXXXXX";
    descriptor = ::mkostemp(name, O_CLOEXEC);
    if (descriptor >= 0) ::unlink(name);
    return descriptor;
}

std::string LastMessages(int descriptor) {
    const off_t size = ::lseek(descriptor, 0, SEEK_END);
    if (size <= 0) return {};
    const off_t start = std::max<off_t>(0, size - static_cast<off_t>(kLongestMessage));
    std::string text(static_cast<std::size_t>(size - start), '\0');
    const ssize_t got = ::pread(descriptor, text.data(), text.size(), start);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

VideoFormat FrameSizeFor(int width, int height, int fps, int frames) {
    const int frameWidth = Even(std::min(width, kWidestFrame));
    const int frameHeight = Even(static_cast<int>(static_cast<long>(height) * frameWidth / std::max(1, width)));
    return {fps, frameWidth, frameHeight, frames};
}

std::vector<std::string> FfmpegArguments(const VideoFormat& format) {
    const double seconds = std::max(1.0, static_cast<double>(format.frames) / format.fps);
    const int kbits = std::min(kHighestKbits, static_cast<int>(kVideoBudgetBytes * 8 / 1000 / seconds));
    const std::string fps = std::to_string(format.fps);
    return {"-hide_banner", "-loglevel", "error",
            "-f", "image2pipe", "-framerate", fps, "-c:v", "mjpeg", "-i", "pipe:0",
            "-vf", "scale=" + std::to_string(format.width) + ":" + std::to_string(format.height) + ":flags=bicubic",
            "-c:v", "libx264", "-preset", "veryfast", "-crf", "23",
            "-maxrate", std::to_string(kbits) + "k", "-bufsize", std::to_string(2 * kbits) + "k",
            "-pix_fmt", "yuv420p", "-movflags", "+faststart", "-an",
            "-f", "mp4", "-y", "file:/dev/fd/3"};
}

VideoEncoder::VideoEncoder(const std::filesystem::path& ffmpeg, const VideoFormat& format, int output) {
    // A failed ffmpeg closes its end of the pipe: the write must fail with EPIPE, not kill us.
    std::signal(SIGPIPE, SIG_IGN);
    int pipeEnds[2];
    messages_ = MessageFile();
    if (messages_ < 0 || ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        if (messages_ >= 0) ::close(messages_);
        throw std::runtime_error(std::string("cannot start ffmpeg: ") + std::strerror(errno));
    }
    std::vector<std::string> words = FfmpegArguments(format);
    words.insert(words.begin(), ffmpeg.string());
    tessel::ChildSetup setup;
    setup.descriptors = {{pipeEnds[0], STDIN_FILENO}, {messages_, STDOUT_FILENO}, {messages_, STDERR_FILENO}, {output, 3}};
    std::string error;
    child_ = tessel::StartChild(ffmpeg, words, setup, error);
    ::close(pipeEnds[0]);
    input_ = pipeEnds[1];
    if (child_ < 0) {
        ::close(input_);
        ::close(messages_);
        throw std::runtime_error(error);
    }
}

VideoEncoder::~VideoEncoder() {
    if (child_ > 0) {
        ::kill(child_, SIGTERM);
        Finish();
    }
    if (messages_ >= 0) ::close(messages_);
}

bool VideoEncoder::Add(std::span<const uint8_t> jpeg) { return tessel::WriteAll(input_, jpeg); }

std::string VideoEncoder::Finish() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (child_ <= 0) return "ffmpeg already finished";
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    const std::string said = LastMessages(messages_);
    const std::string how = WIFEXITED(status) ? "ffmpeg failed with exit status " + std::to_string(WEXITSTATUS(status))
                                              : "ffmpeg was stopped by signal " + std::to_string(WTERMSIG(status));
    return said.empty() ? how : how + ": " + said;
}

}  // namespace tessel::daily
