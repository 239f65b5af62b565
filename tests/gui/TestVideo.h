#pragma once

// Videos whose frames carry their own index as their brightness: frame i is uniformly
// 20 + 10 i, so that any codec keeps it readable.

#include <cmath>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

inline bool writeIndexedVideo(const std::string& path, int fourcc, int frames, cv::Size size = {160, 120},
                              double fps = 25) {
    cv::VideoWriter writer(path, cv::CAP_FFMPEG, fourcc, fps, size);
    if (!writer.isOpened()) return false;
    for (int i = 0; i < frames; ++i) writer.write(cv::Mat(size, CV_8UC3, cv::Scalar::all(20 + 10 * i)));
    return true;
}

inline int frameIndexOf(const cv::Mat& frame) {
    return static_cast<int>(std::lround((cv::mean(frame)[0] - 20) / 10));
}
