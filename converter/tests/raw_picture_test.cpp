#include "raw_picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenes.h"

namespace pictrex {
namespace {

using rawformat::Resolution;

std::vector<uint8_t> PictureOf(Resolution r) {
    std::vector<uint8_t> picture(rawformat::LayoutFor(r).totalBytes, 100);
    picture[rawformat::kHeaderResolutionByte] = static_cast<uint8_t>(r);
    return picture;
}

struct BadFile {
    std::string name;
    std::vector<uint8_t> contents;
    std::string messagePart;
};

class BadPictureTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadPictureTest, IsRejectedWithAReason) {
    const auto result = RecognisePicture(GetParam().contents);
    ASSERT_TRUE(std::holds_alternative<PictureError>(result));
    EXPECT_NE(std::get<PictureError>(result).message.find(GetParam().messagePart), std::string::npos)
        << std::get<PictureError>(result).message;
}

std::vector<BadFile> BadFiles() {
    auto high = PictureOf(Resolution::High);
    auto truncated = std::vector<uint8_t>(high.begin(), high.end() - 1);
    auto oversized = high;
    oversized.push_back(0);
    auto wrongHeader = high;
    wrongHeader[rawformat::kHeaderResolutionByte] = 1;
    auto unsigned128 = testing::InFileForm(high, testing::FileForm::Container);
    unsigned128[0] = 'X';
    auto dirtyContainer = testing::InFileForm(high, testing::FileForm::Container);
    dirtyContainer[100] = 7;
    return {
        {"empty", {}, "0 bytes"},
        {"truncated", truncated, "124927 bytes"},
        {"oversized", oversized, "124929 bytes"},
        {"header_declares_low", wrongHeader, "declares resolution 1"},
        {"container_without_signature", unsigned128, "container signature"},
        {"container_with_dirty_header", dirtyContainer, "container signature"},
        {"garbage", std::vector<uint8_t>(5000, 0xFF), "5000 bytes"},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, BadPictureTest, ::testing::ValuesIn(BadFiles()),
                         [](const auto& info) { return info.param.name; });

TEST(RecognisePictureTest, FindsThePictureInEveryFormAndResolution) {
    for (Resolution r : {Resolution::High, Resolution::Low}) {
        auto picture = PictureOf(r);
        picture.back() = 42;  // mark the last cell to prove where the picture was cut from
        for (auto form : {testing::FileForm::Plain, testing::FileForm::Container, testing::FileForm::Thumbnail}) {
            const auto result = RecognisePicture(testing::InFileForm(picture, form));
            ASSERT_TRUE(std::holds_alternative<RawPicture>(result));
            EXPECT_EQ(std::get<RawPicture>(result).resolution, r);
            EXPECT_EQ(std::get<RawPicture>(result).bytes, picture);
        }
    }
}

TEST(ReadPictureFileTest, MissingFileIsAnError) {
    const auto result = ReadPictureFile(tessel::WebDirectory::Open("/"), "image19991015083005.dc2");
    ASSERT_TRUE(std::holds_alternative<PictureError>(result));
    EXPECT_NE(std::get<PictureError>(result).message.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace pictrex
