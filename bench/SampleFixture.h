#pragma once

// The sample pictures and their trained colour classes, made once per process.

#include <benchmark/benchmark.h>

#include <filesystem>
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

// The 1920x1080 sample moved by (dx, dy), edges repeated, as a camera held by hand shows it,
// scaled to `size`.
cv::Mat shiftedSample(int dx, int dy, cv::Size size = {1920, 1080});

// A video of the sample tooth drifting slowly (frame i moved by i mod 8, i mod 5), 25 frames a
// second, in the codec `fourcc`. Written unless `file` is there already; an interrupted
// writing leaves no file behind.
void writeSampleVideo(const std::filesystem::path& file, int fourcc, cv::Size size, int frames);

// One step of playback with the analysis on, as the window does it: the video's next frame,
// read on, and analysed. Loops over the video.
void stepVideoAnalysed(benchmark::State& state, const std::string& video);

}  // namespace quendra
