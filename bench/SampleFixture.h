#pragma once

// The sample pictures and their trained colour classes, made once per process.

#include <opencv2/core.hpp>

#include "colour/ColorClasses.h"

namespace quendra {

// The sample frame of the given size (640x480 or 1920x1080).
const cv::Mat& sampleFrame(int width, int height);

// Colour classes trained on every sample and loaded from their file, cache empty.
ColorClasses& freshSampleClasses();

// The same classes with the cache filled by classifying `frame` once.
ColorClasses& warmSampleClasses(const cv::Mat& frame);

}  // namespace quendra
