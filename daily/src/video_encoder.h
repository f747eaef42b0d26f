// The day's time-lapse, encoded by Debian's ffmpeg program: JPEG pictures go in through a pipe,
// one frame each, and come out as H.264 (yuv420p) in MP4 with its index at the front, so browsers
// start playing before the whole file has arrived.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tessel::daily {

struct VideoFormat {
    int fps = 24;
    int width = 0;   // of the frames; pictures of another size are scaled to it
    int height = 0;
    int frames = 0;  // how many will come: sets the bit-rate ceiling that bounds the file size
};

// The frame size for pictures of `width` × `height`: at most 1280 wide, both even (which
// yuv420p requires), proportions kept.
VideoFormat FrameSizeFor(int width, int height, int fps, int frames);

// The ffmpeg arguments (after the program name) that encode `format` from JPEGs on standard
// input into the file open as ffmpeg's descriptor 3.
std::vector<std::string> FfmpegArguments(const VideoFormat& format);

class VideoEncoder {
public:
    // Starts `ffmpeg` writing into the open file `output` (ffmpeg gets it as its descriptor 3, so
    // no name in the web directory is opened again). Throws std::runtime_error when it cannot start.
    VideoEncoder(const std::filesystem::path& ffmpeg, const VideoFormat& format, int output);
    ~VideoEncoder();  // stops an unfinished encoder
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Sends one picture; false when ffmpeg no longer takes input (it failed; Finish says why).
    bool Add(std::span<const uint8_t> jpeg);

    // Ends the input and waits for ffmpeg; "" when it succeeded, else what went wrong.
    std::string Finish();

private:
    pid_t child_ = -1;
    int input_ = -1;     // ffmpeg's standard input
    int messages_ = -1;  // an unnamed file that collects ffmpeg's error messages
};

}  // namespace tessel::daily
