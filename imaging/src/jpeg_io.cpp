#include "imaging/jpeg_io.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "web_directory.h"

namespace imaging {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back to the
// caller's setjmp with the message kept.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf resume;
    char message[JMSG_LENGTH_MAX];
    bool warned;
};

void JumpOnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, manager->message);
    std::longjmp(manager->resume, 1);
}

// Corrupt-data warnings mean a damaged picture: treat the file as not decodable.
void NoteWarning(j_common_ptr info, int level) {
    if (level < 0) reinterpret_cast<ErrorManager*>(info->err)->warned = true;
}

void InstallErrorManager(ErrorManager& manager) {
    jpeg_std_error(&manager.base);
    manager.base.error_exit = JumpOnError;
    manager.base.emit_message = NoteWarning;
    manager.message[0] = '\0';
    manager.warned = false;
}

enum class Columns { All, Middle };

// The one decoding of JPEG data to RGB, with the checks every reader of a picture needs: the data
// is not empty, is a whole JPEG (libjpeg's errors and corrupt-data warnings refuse it), and
// declares at most kLargestDecodedSide pixels on a side, checked from the header before any
// picture memory is taken. With Columns::Middle only the narrow band of blocks holding the
// middle column is decoded. `sink` is told the output once decoding has started
// (Begin(info, middle, bandStart)), gives the buffer of each row (Row(y)) and sees it filled
// (Took(y)). False, with `problem` saying why, when the data is refused.
template <typename Sink>
bool DecodeRows(std::span<const uint8_t> contents, Columns columns, Sink& sink, std::string& problem) {
    if (contents.empty()) {
        problem = "empty";
        return false;
    }
    ErrorManager errors;
    jpeg_decompress_struct info{};
    info.err = &errors.base;
    InstallErrorManager(errors);
    if (setjmp(errors.resume) != 0) {
        jpeg_destroy_decompress(&info);
        problem = std::string("not a whole JPEG: ") + errors.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, contents.data(), static_cast<unsigned long>(contents.size()));
    jpeg_read_header(&info, TRUE);
    // A few bytes can declare a picture of gigabytes.
    if (info.image_width > kLargestDecodedSide || info.image_height > kLargestDecodedSide) {
        problem = "declares " + std::to_string(info.image_width) + "x" + std::to_string(info.image_height) +
                  " pixels, more than " + std::to_string(kLargestDecodedSide) + " on a side";
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const JDIMENSION middle = info.output_width / 2;
    JDIMENSION bandStart = 0;
    if (columns == Columns::Middle) {
        // The band is widened to whole blocks: `bandStart` comes back as the band's first column.
        bandStart = middle;
        JDIMENSION width = 1;
        jpeg_crop_scanline(&info, &bandStart, &width);
    }
    sink.Begin(info, middle, bandStart);
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        JSAMPROW row = sink.Row(y);
        jpeg_read_scanlines(&info, &row, 1);
        sink.Took(y);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (errors.warned) {
        problem = "damaged JPEG data";
        return false;
    }
    return true;
}

// The whole picture, each row decoded in place.
struct WholePicture {
    Image image;

    void Begin(const jpeg_decompress_struct& info, JDIMENSION, JDIMENSION) {
        image.width = static_cast<int>(info.output_width);
        image.height = static_cast<int>(info.output_height);
        image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    }
    JSAMPROW Row(int y) { return image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3; }
    void Took(int) {}
};

// The middle column, picked out of each decoded row of the band that holds it.
struct MiddleColumn {
    JpegColumn result;
    std::vector<uint8_t> band;
    std::size_t offset = 0;  // of the middle column's pixel in the band

    void Begin(const jpeg_decompress_struct& info, JDIMENSION middle, JDIMENSION bandStart) {
        result.pictureWidth = static_cast<int>(info.image_width);
        result.pictureHeight = static_cast<int>(info.output_height);
        result.column = BlankImage(1, result.pictureHeight);
        band.resize(static_cast<std::size_t>(info.output_width) * 3);
        offset = static_cast<std::size_t>(middle - bandStart) * 3;
    }
    JSAMPROW Row(int) { return band.data(); }
    void Took(int y) { std::copy_n(band.data() + offset, 3, PixelAt(result.column, 0, y)); }
};

}  // namespace

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality, Chroma chroma) {
    ErrorManager errors;
    jpeg_compress_struct info{};
    info.err = &errors.base;
    InstallErrorManager(errors);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.resume) != 0) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        throw JpegError(std::string("JPEG encoding failed: ") + errors.message);
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (chroma == Chroma::Full) info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.rgb.data() + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

std::optional<Image> DecodeJpeg(std::span<const uint8_t> contents, std::string& problem) {
    WholePicture whole;
    if (!DecodeRows(contents, Columns::All, whole, problem)) return std::nullopt;
    return std::move(whole.image);
}

std::optional<JpegColumn> DecodeJpegMiddleColumn(std::span<const uint8_t> jpeg) {
    MiddleColumn middle;
    std::string ignored;
    if (!DecodeRows(jpeg, Columns::Middle, middle, ignored)) return std::nullopt;
    return std::move(middle.result);
}

std::optional<Image> DecodeJpegFile(const std::filesystem::path& file) {
    const tessel::FileRead read = tessel::ReadRegularFile(file, kLargestJpegFile);
    if (!read.ok) return std::nullopt;
    std::string ignored;
    return DecodeJpeg(std::span(reinterpret_cast<const uint8_t*>(read.bytes.data()), read.bytes.size()), ignored);
}

}  // namespace imaging
