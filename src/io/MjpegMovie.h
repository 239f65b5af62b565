#pragma once

// Writing a QuickTime movie of JPEG frames (Motion JPEG), one frame after the other. Every
// frame is a JPEG picture of its own, so frames can be encoded on any thread and in any order
// before they are added in order, and every frame of the movie is exact to step through. The
// index goes at the end, with 64-bit offsets: a movie may be as long as the disk allows. It
// takes the place of any earlier file of its name once close() succeeded, as every file this
// program writes does (FileWriting.h). Read back by OpenCV's video input (FFmpeg).

#include <cstdint>
#include <opencv2/core.hpp>
#include <span>
#include <string>
#include <vector>

#include "io/FileWriting.h"

namespace quendra {

class MjpegMovieWriter {
public:
    MjpegMovieWriter() = default;
    ~MjpegMovieWriter();
    MjpegMovieWriter(const MjpegMovieWriter&) = delete;
    MjpegMovieWriter& operator=(const MjpegMovieWriter&) = delete;

    // Starts the file for frames of `size` played at `framesPerSecond` (> 0), kept as the exact
    // fraction it was computed from (25/3, 30000/1001, 1/2) as long as its terms fit the
    // format's 32 bits; false when it cannot be written.
    bool open(const std::string& path, cv::Size size, double framesPerSecond);
    bool isOpen() const { return file.stream() != nullptr; }
    cv::Size frameSize() const { return size; }

    // Appends one JPEG picture of the movie's size; false when it could not be written.
    bool addFrame(std::span<const std::uint8_t> jpeg);

    // Writes the index and ends the file; false when any write of the movie failed.
    bool close();

private:
    ReplacingFile file;
    bool failed = false;
    cv::Size size;
    std::uint32_t timescale = 0;
    std::uint32_t frameDuration = 0;
    std::uint64_t written = 0;  // bytes of the file so far
    std::vector<std::uint32_t> sampleSizes;
    std::vector<std::uint64_t> sampleOffsets;
};

}  // namespace quendra
