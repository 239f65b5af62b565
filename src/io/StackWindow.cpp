#include "io/StackWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace quendra {

namespace {

std::uint16_t percentile(const std::vector<std::uint64_t>& histogram, std::uint64_t total,
                         double percent) {
    const auto wanted = static_cast<std::uint64_t>(std::ceil(total * percent / 100.0));
    std::uint64_t seen = 0;
    for (std::size_t v = 0; v < histogram.size(); ++v) {
        seen += histogram[v];
        if (seen >= std::max<std::uint64_t>(wanted, 1)) return static_cast<std::uint16_t>(v);
    }
    return 65535;
}

}  // namespace

GreyWindow sampledWindow(SliceStack& stack, int samples, double lowPercent, double highPercent) {
    CV_Assert(samples >= 1 && 0 <= lowPercent && lowPercent < highPercent && highPercent <= 100);
    const int count = stack.sliceCount();
    const int taken = std::min(samples, count);
    std::vector<std::uint64_t> histogram(65536, 0);
    std::uint64_t total = 0;
    for (int i = 0; i < taken; ++i) {
        const int index =
            taken == 1 ? 0 : static_cast<int>(std::int64_t{i} * (count - 1) / (taken - 1));
        const SliceRead read = stack.read(index);
        if (read.status != PictureStatus::Ok || read.slice.depth() != CV_16U) continue;
        const cv::Mat values = read.slice.reshape(1);
        for (int y = 0; y < values.rows; ++y) {
            const std::uint16_t* row = values.ptr<std::uint16_t>(y);
            for (int x = 0; x < values.cols; ++x) ++histogram[row[x]];
        }
        total += values.total();
    }
    if (total == 0) return {};
    const double low = percentile(histogram, total, lowPercent);
    const double high = percentile(histogram, total, highPercent);
    return {low, std::max(high, low + 1)};
}

cv::Mat frameOfSlice(const cv::Mat& slice, const GreyWindow& window) {
    CV_Assert(slice.depth() == CV_8U || slice.depth() == CV_16U);
    CV_Assert(slice.channels() == 1 || slice.channels() == 3);
    CV_Assert(window.high > window.low);
    cv::Mat eight;
    if (slice.depth() == CV_16U) {
        const double scale = 255.0 / (window.high - window.low);
        slice.convertTo(eight, CV_8U, scale, -window.low * scale);
    } else {
        eight = slice;
    }
    if (eight.channels() == 3) return eight;
    cv::Mat frame;
    cv::cvtColor(eight, frame, cv::COLOR_GRAY2BGR);
    return frame;
}

}  // namespace quendra
