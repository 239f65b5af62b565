#pragma once

// A live GStreamer source that stands in for a camera: videotestsrc in real time, its SMPTE
// bars moving kLiveStep pixels to the left each frame, so that every frame tells its own
// number (modulo the frames it takes the bars to come round) by where the bars stand.

#include <opencv2/core.hpp>
#include <string>

namespace quendra {

constexpr int kLiveStep = 4;  // pixels a frame

// The pipeline, for the camera's device field: live, `size`, `rate` frames a second.
std::string liveTestPipeline(cv::Size size = {1920, 1080}, int rate = 30);

// The frame's number modulo liveFramePeriod(); -1 when the bars cannot be found.
int liveFrameNumber(const cv::Mat& frame);
// The frames after which the numbers repeat: the width over kLiveStep.
int liveFramePeriod(const cv::Mat& frame);
// How many frames `later` is after `earlier`, both numbers of frames of that width, for two
// frames less than half a period apart.
int liveFramesBetween(int earlier, int later, int period);

}  // namespace quendra
