#include "raw_picture.h"

#include <algorithm>
#include <fstream>

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

std::variant<RawPicture, PictureError> ReadPictureFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return PictureError{"cannot open " + file.string()};
    std::vector<uint8_t> contents(kLargestFile + 1);
    in.read(reinterpret_cast<char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
    if (in.bad()) return PictureError{"cannot read " + file.string()};
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > kLargestFile) return PictureError{file.string() + " is too large to be a native picture"};
    contents.resize(got);
    auto result = RecognisePicture(contents);
    if (auto* error = std::get_if<PictureError>(&result)) error->message = file.string() + ": " + error->message;
    return result;
}

}  // namespace pictrex
