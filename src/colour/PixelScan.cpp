#include "colour/PixelScan.h"

#include <algorithm>
#include <cstring>

#include "colour/ColorKey.h"
#include "colour/PixelKernels.h"

namespace quendra {

namespace {

void checkFrame(const cv::Mat& frame) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
}

void checkMask(const cv::Mat& frame, const cv::Mat& mask) {
    CV_CheckTypeEQ(mask.type(), CV_8UC1, "masks must be 8-bit single-channel images");
    CV_Assert(mask.size() == frame.size() && "the mask must have the frame's size");
}

// Sets the mask to 255 around the rectangle `r`; the rectangle itself is written by the scan.
// Plain memset per row: this runs twice per frame, where cv::Mat::setTo's set-up on four
// sub-matrices costs more than the bytes.
void fillAround(cv::Mat& mask, const cv::Rect& r) {
    const auto cols = static_cast<std::size_t>(mask.cols);
    for (int y = 0; y < mask.rows; ++y) {
        std::uint8_t* row = mask.ptr<std::uint8_t>(y);
        if (y < r.y || y >= r.y + r.height) {
            std::memset(row, 255, cols);
        } else {
            std::memset(row, 255, static_cast<std::size_t>(r.x));
            std::memset(row + r.x + r.width, 255, cols - static_cast<std::size_t>(r.x + r.width));
        }
    }
}

// Larger than B+G+R of any pixel (765): the first pixel always beats it.
constexpr int kAboveAnySum = 766;

const std::uint8_t* pixelAt(const cv::Mat& frame, int x, int y) {
    return frame.ptr<std::uint8_t>(y) + 3 * x;
}

}  // namespace

void classifyRowIntoCache(const std::uint8_t* bgr, int n, std::uint8_t* cache, const KDTree* tree,
                          int threshold, std::vector<int>& pending) {
    pending.clear();
    for (int i = 0; i < n; ++i) {
        const ColorKey key = colorKeyOf(bgr + 3 * i);
        if (cache[key] & 0x80u) pending.push_back(static_cast<int>(key));
    }
    std::sort(pending.begin(), pending.end());
    pending.erase(std::unique(pending.begin(), pending.end()), pending.end());
    std::vector<int> classes(pending.size(), 0);
    if (tree) tree->classifyMany(pending, threshold, classes);
    for (std::size_t i = 0; i < pending.size(); ++i)
        cache[pending[i]] = static_cast<std::uint8_t>(classes[i]);
}

cv::Rect clipRect(cv::Size frame, int x0, int y0, int x1, int y1) {
    const int cx0 = std::clamp(x0, 0, frame.width);
    const int cy0 = std::clamp(y0, 0, frame.height);
    const int cx1 = std::clamp(x1, cx0, frame.width);
    const int cy1 = std::clamp(y1, cy0, frame.height);
    return {cx0, cy0, cx1 - cx0, cy1 - cy0};
}

void classifyPixels(const cv::Mat& frame, int classId, std::uint8_t* cache, const KDTree* tree,
                    int threshold, cv::Mat& mask, int x0, int y0, int x1, int y1) {
    checkFrame(frame);
    checkMask(frame, mask);
    const cv::Rect r = clipRect(frame.size(), x0, y0, x1, y1);
    fillAround(mask, r);
    const PixelKernels& kernels = pixelKernels();
    std::vector<int> pending;
    for (int y = r.y; y < r.y + r.height; ++y) {
        const std::uint8_t* row = pixelAt(frame, r.x, y);
        std::uint8_t* m = mask.ptr<std::uint8_t>(y) + r.x;
        // Rows are read through the cache alone first; the few that meet a colour not yet
        // classified have those classified and are read again. (A class of 255 still reads as
        // not classified the second time, but compares like any other.)
        if (kernels.maskFromCache(row, r.width, cache, classId, m) & 0x80u) {
            classifyRowIntoCache(row, r.width, cache, tree, threshold, pending);
            kernels.maskFromCache(row, r.width, cache, classId, m);
        }
    }
}

std::optional<cv::Point> findDarkestPixel(const cv::Mat& frame, int x0, int y0, int x1, int y1) {
    checkFrame(frame);
    const cv::Rect r = clipRect(frame.size(), x0, y0, x1, y1);
    const PixelKernels& kernels = pixelKernels();
    std::optional<cv::Point> darkest;
    int best = kAboveAnySum;
    for (int y = r.y; y < r.y + r.height; ++y) {
        const int x = kernels.darkestInRow(pixelAt(frame, r.x, y), r.width, best);
        if (x >= 0) darkest = cv::Point(r.x + x, y);
    }
    return darkest;
}

void colorDistanceMask(const cv::Mat& frame, double rx, double ry, int distance, cv::Mat& mask,
                       int x0, int y0, int x1, int y1) {
    checkFrame(frame);
    checkMask(frame, mask);
    CV_Assert(rx > -1.0 && rx < frame.cols && ry > -1.0 && ry < frame.rows &&
              "the reference pixel must lie in the frame");
    const std::uint8_t* ref = pixelAt(frame, static_cast<int>(rx), static_cast<int>(ry));
    // Squared in 64 bits, so any int distance, negative ones included, works; no squared
    // distance of two colours reaches kDistanceLimitAll, so larger limits are all the same.
    const long long squared = static_cast<long long>(distance) * distance;
    const int limit = static_cast<int>(std::min<long long>(squared, kDistanceLimitAll));
    const cv::Rect r = clipRect(frame.size(), x0, y0, x1, y1);
    fillAround(mask, r);
    const PixelKernels& kernels = pixelKernels();
    for (int y = r.y; y < r.y + r.height; ++y)
        kernels.distanceMask(pixelAt(frame, r.x, y), r.width, ref, limit,
                             mask.ptr<std::uint8_t>(y) + r.x);
}

}  // namespace quendra
