#include "io/PictureFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "io/FileWriting.h"
#include "io/MediaFiles.h"

namespace quendra {

namespace {

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t littleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// Sizes beyond int are reported as the largest int, which no limit lets through.
cv::Size clampedSize(std::int64_t width, std::int64_t height) {
    const auto clamp = [](std::int64_t v) {
        return static_cast<int>(std::min<std::int64_t>(std::abs(v), INT32_MAX));
    };
    return {clamp(width), clamp(height)};
}

std::optional<cv::Size> pngSize(const std::uint8_t* b, std::size_t n) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n < 24 || !std::equal(kSignature, kSignature + 8, b) || !std::equal(b + 12, b + 16, "IHDR"))
        return std::nullopt;
    return clampedSize(bigEndian32(b + 16), bigEndian32(b + 20));
}

std::optional<cv::Size> bmpSize(const std::uint8_t* b, std::size_t n) {
    if (n < 26 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    if (littleEndian32(b + 14) == 12)  // the old OS/2 header: 16-bit sizes
        return clampedSize(b[18] | b[19] << 8, b[20] | b[21] << 8);
    return clampedSize(static_cast<std::int32_t>(littleEndian32(b + 18)),
                       static_cast<std::int32_t>(littleEndian32(b + 22)));  // negative: top-down
}

// Walks the markers up to the first start-of-frame, which holds the size.
std::optional<cv::Size> jpegSize(const std::uint8_t* b, std::size_t n) {
    if (n < 4 || b[0] != 0xFF || b[1] != 0xD8) return std::nullopt;
    std::size_t i = 2;
    while (i + 4 <= n) {
        if (b[i] != 0xFF) return std::nullopt;
        const std::uint8_t marker = b[i + 1];
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without length
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // image data before a frame
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            if (i + 9 > n) return std::nullopt;
            return clampedSize(b[i + 7] << 8 | b[i + 8], b[i + 5] << 8 | b[i + 6]);
        }
        i += 2 + (std::size_t{b[i + 2]} << 8 | b[i + 3]);
    }
    return std::nullopt;
}

}  // namespace

std::optional<cv::Size> pictureHeaderSize(const std::uint8_t* bytes, std::size_t count) {
    if (auto size = pngSize(bytes, count)) return size;
    if (auto size = jpegSize(bytes, count)) return size;
    return bmpSize(bytes, count);
}

PictureRead readPicture(const std::string& path, PictureDepth depth) {
    PictureRead read;
    if (!isRegularFile(path)) {
        read.status = PictureStatus::NotAFile;
        return read;
    }
    // The whole file is read once and decoded from memory, so what was checked is what is
    // decoded.
    std::error_code ec;
    const std::uintmax_t length = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) return read;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != length) return read;
    const auto size = pictureHeaderSize(bytes.data(), bytes.size());
    if (!size) return read;
    read.size = *size;
    if (std::int64_t{size->width} * size->height > kMaxPicturePixels) {
        read.status = PictureStatus::TooLarge;
        return read;
    }
    try {
        read.picture = cv::imdecode(bytes, depth == PictureDepth::Bgr8
                                               ? cv::IMREAD_COLOR
                                               : cv::IMREAD_ANYDEPTH | cv::IMREAD_ANYCOLOR);
    } catch (const cv::Exception&) {
        read.picture.release();  // a decoder that gives up on a broken file
    }
    if (!read.picture.empty()) read.status = PictureStatus::Ok;
    return read;
}

bool savePicture(const std::string& path, const cv::Mat& picture, Durability durability) {
    if (picture.empty()) return false;
    std::string extension = std::filesystem::path(path).extension().string();
    if (extension.empty()) extension = ".png";
    std::vector<uchar> bytes;
    try {
        if (!cv::imencode(extension, picture, bytes)) return false;
    } catch (const cv::Exception&) {
        return false;
    }
    return writeFileReplacing(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()},
                              durability);
}

}  // namespace quendra
