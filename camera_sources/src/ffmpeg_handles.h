// Owners of the FFmpeg objects a grab uses, so every path out of a grab frees them.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
}

namespace tessel::camera_sources {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An opened input; one with AVFMT_FLAG_CUSTOM_IO leaves its AVIOContext to its own owner.
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;

struct IoContextCloser {
    void operator()(AVIOContext* context) const { avio_closep(&context); }
};
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextCloser>;

struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;

struct CodecParametersFreer {
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersFreer>;

struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

// Options handed to an FFmpeg open call.
class Options {
public:
    Options() = default;
    ~Options() { av_dict_free(&dictionary_); }
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    void Set(const char* key, const char* value) { av_dict_set(&dictionary_, key, value, 0); }
    AVDictionary** get() { return &dictionary_; }

private:
    AVDictionary* dictionary_ = nullptr;
};

}  // namespace tessel::camera_sources
