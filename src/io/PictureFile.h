#pragma once

// Reading and writing single pictures.
//
// Reading accepts JPEG, PNG, BMP and single-page TIFF files (told by their content, not their
// name). The size is taken from the file's header before anything is decoded, so a small file
// that would decode into gigabytes is refused before it takes any memory. Every picture
// arrives as an 8-bit B,G,R frame, greyscale and 16-bit ones included, or as stored where the
// caller maps it itself.

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "io/FileWriting.h"

namespace quendra {

// The largest picture read: 120 megapixels (a 100-megapixel camera picture still passes; a
// frame of this size takes 360 MB, and the analysis and the display each keep copies).
inline constexpr std::int64_t kMaxPicturePixels = 120'000'000;
// The largest picture file read: 1 GiB (an uncompressed 16-bit TIFF of the largest picture
// still passes).
inline constexpr std::uintmax_t kMaxPictureFileBytes = std::uintmax_t{1} << 30;

enum class PictureStatus {
    Ok,
    NotAFile,      // a folder, a FIFO or a device
    CannotOpen,    // missing, no permission, ...: the system's reason in `error`
    Empty,         // a file of no bytes
    Unreadable,    // no JPEG, PNG, BMP or TIFF, or broken
    TooLarge,      // more than kMaxPicturePixels, or a file above kMaxPictureFileBytes
    SeveralPages,  // a TIFF of more than one page
    OutOfMemory,   // the memory ran out while decoding
};

enum class PictureDepth {
    Bgr8,      // CV_8UC3, B,G,R
    AsStored,  // 8 or 16 bits, 1 (grey) or 3 (B,G,R) channels, as the file holds them
};

struct PictureRead {
    PictureStatus status = PictureStatus::Unreadable;
    cv::Mat picture;  // as `depth` asks, only with Ok
    cv::Size size;    // as the header gives it, also for TooLarge; empty for a too large file
    int error = 0;    // errno of CannotOpen
};

PictureRead readPicture(const std::string& path, PictureDepth depth = PictureDepth::Bgr8);

// The width and height a JPEG, PNG, BMP or TIFF file's header gives (a TIFF's first page);
// nothing for other bytes.
std::optional<cv::Size> pictureHeaderSize(const std::uint8_t* bytes, std::size_t count);

// Writes `picture` in the format its name's extension gives (PNG when the name has none),
// replacing an existing file only when all of it was written. False for a format no encoder
// knows or an empty picture (errno then EINVAL) or a file that cannot be written (errno tells
// why).
bool savePicture(const std::string& path, const cv::Mat& picture,
                 Durability durability = Durability::Flushed);

}  // namespace quendra
