#include "frame_decoder.h"

#include <algorithm>

#include "grab_failure.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace tessel::camera_sources {
namespace {

std::string DamageText(const AVFrame& frame) {
    if (frame.decode_error_flags & FF_DECODE_ERROR_MISSING_REFERENCE) return "a reference frame is missing";
    if (frame.decode_error_flags & FF_DECODE_ERROR_INVALID_BITSTREAM) return "the data is invalid";
    if (frame.decode_error_flags & FF_DECODE_ERROR_CONCEALMENT_ACTIVE) return "the decoder concealed lost data";
    if (frame.decode_error_flags & FF_DECODE_ERROR_DECODE_SLICES) return "parts of the frame did not decode";
    return "the decoder marked the frame as corrupt";
}

bool IsFullRange(const AVFrame& frame) {
    switch (static_cast<AVPixelFormat>(frame.format)) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P: return true;
        default: return frame.color_range == AVCOL_RANGE_JPEG;
    }
}

struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

}  // namespace

std::unique_ptr<FrameDecoder> FrameDecoder::Open(const AVCodecParameters& parameters, std::string& problem) {
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (!codec) {
        problem = std::string("stream error: no decoder for the video format ") + avcodec_get_name(parameters.codec_id);
        return nullptr;
    }
    std::unique_ptr<FrameDecoder> decoder(new FrameDecoder());
    decoder->context_.reset(avcodec_alloc_context3(codec));
    decoder->frame_.reset(av_frame_alloc());
    if (!decoder->context_ || !decoder->frame_ ||
        avcodec_parameters_to_context(decoder->context_.get(), &parameters) < 0) {
        problem = "stream error: out of memory for the decoder";
        return nullptr;
    }
    AVCodecContext& context = *decoder->context_;
    // Only frames that decoded from a key frame on; nothing concealed is shown.
    context.flags &= ~AV_CODEC_FLAG_OUTPUT_CORRUPT;
    context.flags2 &= ~AV_CODEC_FLAG2_SHOW_ALL;
    // One frame is decoded per grab: a single thread keeps the memory small and the frame prompt.
    context.thread_count = 1;
    // The JPEG decoder fills a picture cut short instead of failing unless told to fail.
    if (parameters.codec_id == AV_CODEC_ID_MJPEG) context.err_recognition |= AV_EF_EXPLODE;
    const int opened = avcodec_open2(&context, codec, nullptr);
    if (opened < 0) {
        problem = "stream error: the decoder did not start: " + ErrorText(opened);
        return nullptr;
    }
    return decoder;
}

FrameDecoder::Output FrameDecoder::Decode(const AVPacket& packet, std::string& problem) {
    const int sent = avcodec_send_packet(context_.get(), &packet);
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
        problem = "incomplete frame: the decoder refused the data (" + ErrorText(sent) + ")";
        return Output::Damaged;
    }
    const int received = avcodec_receive_frame(context_.get(), frame_.get());
    if (received == AVERROR(EAGAIN)) return Output::NeedMore;
    if (received < 0) {
        problem = "incomplete frame: the decoder failed (" + ErrorText(received) + ")";
        return Output::Damaged;
    }
    if (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0) {
        problem = "incomplete frame: " + DamageText(*frame_);
        return Output::Damaged;
    }
    return Output::Frame;
}

RgbFrame ToRgb(const AVFrame& frame, int firstRow) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor) return RgbFrame{};
    // Colour planes (1 and 2) may hold one row for several picture rows.
    const int rowsPerChromaRow = 1 << descriptor->log2_chroma_h;
    const int top = std::clamp(firstRow, 0, frame.height) / rowsPerChromaRow * rowsPerChromaRow;
    const int height = frame.height - top;
    const uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
    for (int i = 0; i < AV_NUM_DATA_POINTERS && frame.data[i]; ++i) {
        const int planeTop = (i == 1 || i == 2) ? top / rowsPerChromaRow : top;
        planes[i] = frame.data[i] + static_cast<std::ptrdiff_t>(planeTop) * frame.linesize[i];
    }
    const std::unique_ptr<SwsContext, ScalerFreer> scaler(
        sws_getContext(frame.width, height, format, frame.width, height, AV_PIX_FMT_RGB24,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!scaler || height <= 0) return RgbFrame{};
    // Colour matrix and range as the stream declares them (HD streams use BT.709, JPEG full range).
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(frame.colorspace), IsFullRange(frame) ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    RgbFrame rgb{frame.width, height, std::vector<uint8_t>(static_cast<std::size_t>(frame.width) * height * 3)};
    uint8_t* const output[1] = {rgb.rgb.data()};
    const int strides[1] = {frame.width * 3};
    sws_scale(scaler.get(), planes, frame.linesize, 0, height, output, strides);
    return rgb;
}

}  // namespace tessel::camera_sources
