#pragma once

// Videos whose frames carry their own index as their brightness: frame i is uniformly
// 20 + 10 i, so that any codec keeps it readable.

#include <cmath>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>

inline bool writeIndexedVideo(const std::string& path, int fourcc, int frames,
                              cv::Size size = {160, 120}, double fps = 25) {
    cv::VideoWriter writer(path, cv::CAP_FFMPEG, fourcc, fps, size);
    if (!writer.isOpened()) return false;
    for (int i = 0; i < frames; ++i)
        writer.write(cv::Mat(size, CV_8UC3, cv::Scalar::all(20 + 10 * i)));
    return true;
}

inline int frameIndexOf(const cv::Mat& frame) {
    return static_cast<int>(std::lround((cv::mean(frame)[0] - 20) / 10));
}

// Where the chunk of frame `index` of an MJPG AVI file begins; npos when it has no such frame.
inline std::size_t videoFrameOffset(const std::string& bytes, int index) {
    int frame = 0;
    for (std::size_t at = bytes.find("00dc"); at != std::string::npos;
         at = bytes.find("00dc", at + 4)) {
        const bool chunk =
            at + 10 < bytes.size() && bytes[at + 8] == '\xFF' && bytes[at + 9] == '\xD8';
        if (chunk && frame++ == index) return at;
    }
    return std::string::npos;
}

// Cuts an MJPG AVI file off where frame `index` begins, as a copy broken off between two
// frames: its header still promises every frame. False when the file has no such frame.
inline bool cutVideoBeforeFrame(const std::string& path, int index) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::size_t at = videoFrameOffset(bytes, index);
    if (at == std::string::npos) return false;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(at));
    return true;
}

// Wipes the JPEG data of frame `index` of an MJPG AVI file, which leaves that one frame
// undecodable and every other frame as it was. False when the file has no such frame.
inline bool breakVideoFrame(const std::string& path, int index) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), {}};
    if (const std::size_t at = videoFrameOffset(bytes, index); at != std::string::npos) {
        const std::uint32_t size = static_cast<unsigned char>(bytes[at + 4]) |
                                   static_cast<unsigned char>(bytes[at + 5]) << 8 |
                                   static_cast<unsigned char>(bytes[at + 6]) << 16;
        std::fill_n(bytes.begin() + static_cast<long>(at + 8),
                    std::min<std::size_t>(size, bytes.size() - at - 8), '\0');
        file.seekp(0);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(file);
    }
    return false;
}

// Makes an MJPG AVI file claim frames of width x height: the stream's header and every
// frame's JPEG header say so, though the frames' data stay those of the small frames. A
// reader that trusts the claim would decode frames of that size.
inline bool claimFrameSize(const std::string& path, int width, int height) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const auto put = [&](std::size_t at, int value, bool bigEndian, int length) {
        for (int i = 0; i < length; ++i) {
            const int shift = 8 * (bigEndian ? length - 1 - i : i);
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> shift & 0xFF);
        }
    };
    const std::size_t main = bytes.find("avih"), stream = bytes.find("strf");
    if (main == std::string::npos || stream == std::string::npos) return false;
    put(main + 8 + 32, width, false, 4);  // the main header's width and height
    put(main + 8 + 36, height, false, 4);
    put(stream + 8 + 4, width, false, 4);  // the stream format's bitmap header
    put(stream + 8 + 8, height, false, 4);
    for (std::size_t at = bytes.find("\xFF\xC0"); at != std::string::npos;
         at = bytes.find("\xFF\xC0", at + 2)) {
        put(at + 5, height, true, 2);  // each frame's start-of-frame marker
        put(at + 7, width, true, 2);
    }
    file.seekp(0);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}
