#include "analysis/CanalThreshold.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quendra {

namespace {

// ⌊√d⌋ of a squared distance of two colours (at most 3 × 255²): exact in float, as no square
// root of a non-square below 442² lies within float rounding of a whole number.
int wholeDistance(int squared) {
    return static_cast<int>(std::sqrt(static_cast<float>(squared)));
}

}  // namespace

int minimumErrorSplit(const DistanceHistogram& histogram) {
    double n = 0, sum = 0, squares = 0;
    for (std::size_t i = 0; i < histogram.size(); ++i) {
        const double h = histogram[i], d = static_cast<double>(i);
        n += h, sum += h * d, squares += h * d * d;
    }
    // Within-class variances never below that of one whole-unit bin, so a class of a single
    // colour stays a finite candidate.
    constexpr double kLeastVariance = 1.0 / 12;
    const auto logSigmaAndWeight = [&](double count, double s, double q) {
        const double mean = s / count;
        const double variance = std::max(q / count - mean * mean, kLeastVariance);
        const double p = count / n;
        return p * 0.5 * std::log(variance) - p * std::log(p);
    };
    int best = 0;
    double bestCriterion = std::numeric_limits<double>::infinity();
    double below = 0, belowSum = 0, belowSquares = 0;
    for (std::size_t t = 0; t + 1 < histogram.size(); ++t) {
        const double h = histogram[t], d = static_cast<double>(t);
        below += h, belowSum += h * d, belowSquares += h * d * d;
        if (below == 0 || below == n) continue;
        const double criterion =
            logSigmaAndWeight(below, belowSum, belowSquares) +
            logSigmaAndWeight(n - below, sum - belowSum, squares - belowSquares);
        if (criterion < bestCriterion) {
            bestCriterion = criterion;
            best = static_cast<int>(t);
        }
    }
    return best;
}

int automaticCanalThreshold(const cv::Mat& frame, cv::Point reference, const cv::Mat& inside) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
    CV_CheckTypeEQ(inside.type(), CV_8UC1, "the inside must be an 8-bit mask");
    CV_Assert(inside.size() == frame.size());
    const cv::Vec3b ref = frame.at<cv::Vec3b>(reference);
    DistanceHistogram histogram{};
    for (int y = 0; y < frame.rows; ++y) {
        const std::uint8_t* p = frame.ptr<std::uint8_t>(y);
        const std::uint8_t* in = inside.ptr<std::uint8_t>(y);
        for (int x = 0; x < frame.cols; ++x, p += 3) {
            if (!in[x]) continue;
            const int b = p[0] - ref[0], g = p[1] - ref[1], r = p[2] - ref[2];
            ++histogram[static_cast<std::size_t>(wholeDistance(b * b + g * g + r * r))];
        }
    }
    return minimumErrorSplit(histogram) + 1;
}

}  // namespace quendra
