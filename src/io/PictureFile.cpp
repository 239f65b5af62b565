#include "io/PictureFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "io/FileReading.h"
#include "io/FileWriting.h"

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

// The first page's directory of a classic (32-bit) TIFF: where its entries start, how many
// there are, and whether another page follows.
struct TiffDirectory {
    bool bigEndian;
    std::size_t entries;
    std::uint16_t count;
    bool morePages;
};

std::optional<TiffDirectory> tiffDirectory(const std::uint8_t* b, std::size_t n) {
    if (n < 8) return std::nullopt;
    const bool big = b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42;
    const bool little = b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0;
    if (!big && !little) return std::nullopt;
    const auto u32 = [&](std::size_t at) {
        return big ? bigEndian32(b + at) : littleEndian32(b + at);
    };
    const std::size_t at = u32(4);
    if (at > n - 2) return std::nullopt;
    const std::uint16_t count = big ? (b[at] << 8 | b[at + 1]) : (b[at + 1] << 8 | b[at]);
    const std::size_t next = at + 2 + std::size_t{count} * 12;
    if (next > n - 4) return std::nullopt;
    return TiffDirectory{big, at + 2, count, u32(next) != 0};
}

// Width (tag 256) and length (tag 257), each a SHORT or a LONG.
std::optional<cv::Size> tiffSize(const std::uint8_t* b, std::size_t n) {
    const auto directory = tiffDirectory(b, n);
    if (!directory) return std::nullopt;
    const bool big = directory->bigEndian;
    const auto u16 = [&](const std::uint8_t* p) {
        return big ? p[0] << 8 | p[1] : p[1] << 8 | p[0];
    };
    std::int64_t width = -1, height = -1;
    for (std::size_t i = 0; i < directory->count; ++i) {
        const std::uint8_t* entry = b + directory->entries + 12 * i;
        const int tag = u16(entry), type = u16(entry + 2);
        if (tag != 256 && tag != 257) continue;
        const std::int64_t value = type == 3 ? u16(entry + 8)
                                   : type == 4
                                       ? (big ? bigEndian32(entry + 8) : littleEndian32(entry + 8))
                                       : -1;
        (tag == 256 ? width : height) = value;
    }
    if (width < 0 || height < 0) return std::nullopt;
    return clampedSize(width, height);
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
    if (auto size = tiffSize(bytes, count)) return size;
    return bmpSize(bytes, count);
}

PictureRead readPicture(const std::string& path, PictureDepth depth) {
    PictureRead read;
    // The whole file is read once and decoded from memory, so what was checked is what is
    // decoded.
    const FileRead file = readRegularFile(path, kMaxPictureFileBytes);
    switch (file.status) {
        case FileReadStatus::Ok:
            break;
        case FileReadStatus::NotAFile:
            read.status = PictureStatus::NotAFile;
            return read;
        case FileReadStatus::TooLarge:
            read.status = PictureStatus::TooLarge;
            return read;
        default:
            read.status = PictureStatus::CannotOpen;
            read.error = file.error;
            return read;
    }
    if (file.bytes.empty()) {
        read.status = PictureStatus::Empty;
        return read;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.bytes.data());
    const auto size = pictureHeaderSize(bytes, file.bytes.size());
    if (!size) return read;
    read.size = *size;
    if (std::int64_t{size->width} * size->height > kMaxPicturePixels) {
        read.status = PictureStatus::TooLarge;
        return read;
    }
    if (const auto tiff = tiffDirectory(bytes, file.bytes.size()); tiff && tiff->morePages) {
        read.status = PictureStatus::SeveralPages;
        return read;
    }
    try {
        read.picture =
            cv::imdecode(cv::_InputArray(bytes, static_cast<int>(file.bytes.size())),
                         depth == PictureDepth::Bgr8 ? cv::IMREAD_COLOR
                                                     : cv::IMREAD_ANYDEPTH | cv::IMREAD_ANYCOLOR);
    } catch (const cv::Exception& e) {
        read.picture.release();  // a decoder that gives up on a broken file
        if (e.code == cv::Error::StsNoMem) read.status = PictureStatus::OutOfMemory;
    } catch (const std::bad_alloc&) {
        read.picture.release();
        read.status = PictureStatus::OutOfMemory;
    }
    if (!read.picture.empty()) read.status = PictureStatus::Ok;
    return read;
}

bool savePicture(const std::string& path, const cv::Mat& picture, Durability durability) {
    // Nothing to encode is told apart from the system's reasons of a failed write.
    const auto unencoded = [] {
        errno = EINVAL;
        return false;
    };
    if (picture.empty()) return unencoded();
    std::string extension = std::filesystem::path(path).extension().string();
    if (extension.empty()) extension = ".png";
    std::vector<uchar> bytes;
    try {
        if (!cv::imencode(extension, picture, bytes)) return unencoded();
    } catch (const cv::Exception&) {
        return unencoded();
    }
    return writeFileReplacing(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()},
                              durability);
}

}  // namespace quendra
