#pragma once

// The sample pictures and their trained colour classes, made once per process.

#include <opencv2/core.hpp>
#include <string>

#include "colour/ColorClassifier.h"

namespace quendra {

// The sample frame of the given size (640x480 or 1920x1080).
const cv::Mat& sampleFrame(int width, int height);

// The colour classes trained on every sample, as the bundled classes.dat holds them.
const ColorClassifier& sampleClassifier();

// Those classes as a colour-class file, written once per process.
const std::string& sampleClassFile();

}  // namespace quendra
