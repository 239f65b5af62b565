#pragma once

#include <string>

#include <opencv2/core.hpp>

namespace quendra {

// Writes `picture` in the format its name's extension gives (PNG when the name has none),
// replacing an existing file only when all of it was written. False for a format no encoder
// knows or a file that cannot be written.
bool savePicture(const std::string& path, const cv::Mat& picture);

}  // namespace quendra
