#include "LiveTestSource.h"

namespace quendra {

std::string liveTestPipeline(cv::Size size, int rate) {
    return "videotestsrc is-live=true pattern=smpte horizontal-speed=" + std::to_string(kLiveStep) +
           " ! video/x-raw,width=" + std::to_string(size.width) +
           ",height=" + std::to_string(size.height) + ",framerate=" + std::to_string(rate) + "/1";
}

// The bars' top row runs from white to blue; where blue meets white again is the place the
// pattern's first column has moved to.
int liveFrameNumber(const cv::Mat& frame) {
    if (frame.empty() || frame.type() != CV_8UC3) return -1;
    const int width = frame.cols;
    const auto isWhite = [](const cv::Vec3b& p) { return p[0] > 150 && p[1] > 150 && p[2] > 150; };
    const auto isBlue = [](const cv::Vec3b& p) { return p[0] > 150 && p[1] < 80 && p[2] < 80; };
    const auto* row = frame.ptr<cv::Vec3b>(2);
    for (int x = 0; x < width; ++x)
        if (isWhite(row[x]) && isBlue(row[(x + width - 1) % width]))
            return ((width - x) % width + kLiveStep / 2) / kLiveStep % liveFramePeriod(frame);
    return -1;
}

int liveFramePeriod(const cv::Mat& frame) {
    return frame.cols / kLiveStep;
}

int liveFramesBetween(int earlier, int later, int period) {
    const int ahead = ((later - earlier) % period + period) % period;
    return ahead > period / 2 ? ahead - period : ahead;
}

}  // namespace quendra
