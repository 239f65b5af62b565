#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <opencv2/imgcodecs.hpp>

#include "HandMadeTiff.h"
#include "TempFolder.h"
#include "io/PictureFile.h"

namespace quendra {
namespace {

using PictureFile = TempFolder;

std::vector<uchar> encoded(const char* extension, cv::Size size, std::vector<int> params = {}) {
    std::vector<uchar> bytes;
    cv::imencode(extension, cv::Mat(size, CV_8UC3, cv::Scalar(10, 200, 30)), bytes, params);
    return bytes;
}

// A TIFF in Motorola byte order with 32-bit sizes, which OpenCV itself does not write; without
// its pixels it only claims the size.
std::vector<uchar> bigEndianTiff(cv::Size size, bool withPixels = true) {
    const std::string bytes =
        handMadeTiff(std::string(withPixels ? static_cast<std::size_t>(size.area()) : 0, '\x80'),
                     {greyPage(size, 8)}, -1, true);
    return {bytes.begin(), bytes.end()};
}

// The header sizes agree with what OpenCV decodes, for every format and layout we accept.
TEST_F(PictureFile, HeaderSizeOfEveryFormat) {
    const cv::Size size(37, 23);
    const std::vector<std::pair<const char*, std::vector<uchar>>> files = {
        {"png", encoded(".png", size)},
        {"jpeg", encoded(".jpg", size)},
        {"progressive jpeg", encoded(".jpg", size, {cv::IMWRITE_JPEG_PROGRESSIVE, 1})},
        {"bmp", encoded(".bmp", size)},
        {"tiff", encoded(".tiff", size)},
        {"big-endian tiff", bigEndianTiff(size)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(pictureHeaderSize(bytes.data(), bytes.size()), size);
        EXPECT_EQ(cv::imdecode(bytes, cv::IMREAD_COLOR).size(), size);
    }
    const std::string text = "kein Bild";
    EXPECT_FALSE(pictureHeaderSize(reinterpret_cast<const uchar*>(text.data()), text.size()));
}

// A 60-byte file that claims 30000 x 30000 pixels would take 2.7 GB to decode.
TEST_F(PictureFile, PicturesAboveTheLimitAreRefusedBeforeDecoding) {
    std::vector<uchar> png = encoded(".png", {30000, 1});
    png[20] = 0x00, png[21] = 0x00, png[22] = 0x75, png[23] = 0x30;  // height 30000
    writeBytes("huge.png", std::string(png.begin(), png.end()));
    const PictureRead read = readPicture(path("huge.png"));
    EXPECT_EQ(read.status, PictureStatus::TooLarge);
    EXPECT_EQ(read.size, cv::Size(30000, 30000));
    EXPECT_TRUE(read.picture.empty());
    const std::vector<uchar> tiff = bigEndianTiff({30000, 30000}, false);
    writeBytes("huge.tif", std::string(tiff.begin(), tiff.end()));
    EXPECT_EQ(readPicture(path("huge.tif")).status, PictureStatus::TooLarge);
    EXPECT_EQ(readPicture(path("huge.tif")).size, cv::Size(30000, 30000));

    const std::vector<uchar> fits = encoded(".png", {12000, 8000});  // 96 megapixels
    writeBytes("large.png", std::string(fits.begin(), fits.end()));
    EXPECT_EQ(readPicture(path("large.png")).status, PictureStatus::Ok);
}

TEST_F(PictureFile, WhatIsNotARegularFileIsRefusedUnopened) {
    ASSERT_EQ(::mkfifo(path("pipe.png").c_str(), 0600), 0);  // opening it would wait forever
    EXPECT_EQ(readPicture(path("pipe.png")).status, PictureStatus::NotAFile);
    EXPECT_EQ(readPicture(folder.string()).status, PictureStatus::NotAFile);
    // What the system says of a file it cannot open is kept for the message.
    const PictureRead missing = readPicture(path("missing.png"));
    EXPECT_EQ(missing.status, PictureStatus::CannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
    ASSERT_EQ(::symlink("loop.png", path("loop.png").c_str()), 0);
    EXPECT_EQ(readPicture(path("loop.png")).error, ELOOP);
    ASSERT_EQ(::symlink("/dev/zero", path("zero.png").c_str()), 0);
    EXPECT_EQ(readPicture(path("zero.png")).status, PictureStatus::NotAFile);
    writeBytes("text.png", "Dies ist kein Bild.");
    EXPECT_EQ(readPicture(path("text.png")).status, PictureStatus::Unreadable);
}

}  // namespace
}  // namespace quendra
