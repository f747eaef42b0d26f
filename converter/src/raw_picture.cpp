#include "raw_picture.h"

#include <algorithm>

namespace pictrex {
namespace {

using rawformat::Resolution;

// The largest file any form can have: the thumbnail form of a high-resolution picture.
constexpr std::size_t kLargestFile = kThumbnailBytes + rawformat::kHighResolutionBytes;

bool HasContainerHeader(std::span<const uint8_t> contents) {
    if (contents.size() < kContainerHeaderBytes) return false;
    if (!std::equal(std::begin(kContainerSignature), std::end(kContainerSignature), contents.begin())) return false;
    return std::all_of(contents.begin() + sizeof kContainerSignature, contents.begin() + kContainerHeaderBytes,
                       [](uint8_t b) { return b == 0; });
}

// How many bytes precede the native picture, judged by the file's size and header.
std::variant<std::size_t, PictureError> PictureOffset(std::span<const uint8_t> contents, std::size_t pictureBytes) {
    const std::size_t size = contents.size();
    if (size == pictureBytes) return std::size_t{0};
    if (size == kContainerHeaderBytes + pictureBytes) {
        if (HasContainerHeader(contents)) return kContainerHeaderBytes;
        return PictureError{"a " + std::to_string(size) + "-byte file must start with the container signature"};
    }
    if (size == kThumbnailBytes + pictureBytes) return kThumbnailBytes;
    return std::size_t{SIZE_MAX};
}

std::string SizeError(std::size_t size) {
    return "not a native picture: " + std::to_string(size) + " bytes (expected " +
           std::to_string(rawformat::kHighResolutionBytes) + " or " + std::to_string(rawformat::kLowResolutionBytes) +
           ", optionally after a 128-byte container header or a 5120-byte thumbnail)";
}

}  // namespace

std::variant<RawPicture, PictureError> RecognisePicture(std::span<const uint8_t> contents) {
    for (Resolution r : {Resolution::High, Resolution::Low}) {
        const std::size_t pictureBytes = rawformat::LayoutFor(r).totalBytes;
        auto offset = PictureOffset(contents, pictureBytes);
        if (auto* error = std::get_if<PictureError>(&offset)) return *error;
        const std::size_t start = std::get<std::size_t>(offset);
        if (start == SIZE_MAX) continue;
        const uint8_t declared = contents[start + rawformat::kHeaderResolutionByte];
        if (declared != static_cast<uint8_t>(r)) {
            return PictureError{"the picture header declares resolution " + std::to_string(declared) + " but the data has the " +
                                (r == Resolution::High ? "high" : "low") + "-resolution size"};
        }
        return RawPicture{r, std::vector<uint8_t>(contents.begin() + start, contents.begin() + start + pictureBytes)};
    }
    return PictureError{SizeError(contents.size())};
}

std::variant<RawPicture, PictureError> ReadPictureFile(const tessel::WebDirectory& directory, const std::string& name) {
    const tessel::FileRead read = directory.Read(name, kLargestFile);
    if (!read.ok) {
        if (read.missing) return PictureError{"cannot open " + (directory.path() / name).string() + ": no such file"};
        return PictureError{read.error};
    }
    auto result = RecognisePicture(std::span(reinterpret_cast<const uint8_t*>(read.bytes.data()), read.bytes.size()));
    if (auto* error = std::get_if<PictureError>(&result)) {
        error->message = (directory.path() / name).string() + ": " + error->message;
    }
    return result;
}

}  // namespace pictrex
