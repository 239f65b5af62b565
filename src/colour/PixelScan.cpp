#include "colour/PixelScan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "colour/ColorKey.h"

static_assert(std::endian::native == std::endian::little, "colour keys are read as little-endian words");

namespace quendra {

namespace {

void checkFrame(const cv::Mat& frame) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
}

void checkMask(const cv::Mat& frame, const cv::Mat& mask) {
    CV_CheckTypeEQ(mask.type(), CV_8UC1, "masks must be 8-bit single-channel images");
    CV_Assert(mask.size() == frame.size() && "the mask must have the frame's size");
}

}  // namespace

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
    // Only the part outside the window is set to 255 beforehand; the window is written below.
    mask.rowRange(0, r.y).setTo(255);
    mask.rowRange(r.y + r.height, mask.rows).setTo(255);
    mask(cv::Rect(0, r.y, r.x, r.height)).setTo(255);
    mask(cv::Rect(r.x + r.width, r.y, mask.cols - r.x - r.width, r.height)).setTo(255);
    if (r.width == 0) return;
    for (int y = r.y; y < r.y + r.height; ++y) {
        const std::uint8_t* p = frame.ptr<std::uint8_t>(y) + 3 * r.x;
        std::uint8_t* m = mask.ptr<std::uint8_t>(y) + r.x;
        // A 4-byte little-endian load holds B, G, R in its low three bytes; the row's last
        // pixel is read bytewise so that no load reaches past the frame's data.
        const int last = r.width - 1;
        for (int i = 0; i < last; ++i, p += 3) {
            std::uint32_t word;
            std::memcpy(&word, p, sizeof word);
            m[i] = cachedClass(cache, tree, threshold, word & 0xFFFFFFu) == classId ? 0 : 255;
        }
        m[last] = cachedClass(cache, tree, threshold, colorKeyOf(p)) == classId ? 0 : 255;
    }
}

std::optional<cv::Point> findDarkestPixel(const cv::Mat& frame, int x0, int y0, int x1, int y1) {
    checkFrame(frame);
    const cv::Rect r = clipRect(frame.size(), x0, y0, x1, y1);
    std::optional<cv::Point> darkest;
    int best = 99999;
    for (int y = r.y; y < r.y + r.height; ++y) {
        const std::uint8_t* p = frame.ptr<std::uint8_t>(y) + 3 * r.x;
        for (int x = r.x; x < r.x + r.width; ++x, p += 3) {
            const int sum = p[0] + p[1] + p[2];
            if (sum < best) {
                best = sum;
                darkest = cv::Point(x, y);
            }
        }
    }
    return darkest;
}

void colorDistanceMask(const cv::Mat& frame, double rx, double ry, int distance, cv::Mat& mask,
                       int x0, int y0, int x1, int y1) {
    checkFrame(frame);
    checkMask(frame, mask);
    CV_Assert(rx > -1.0 && rx < frame.cols && ry > -1.0 && ry < frame.rows &&
              "the reference pixel must lie in the frame");
    const int refX = static_cast<int>(rx);
    const int refY = static_cast<int>(ry);
    mask.setTo(255);
    const std::uint8_t* ref = frame.ptr<std::uint8_t>(refY) + 3 * refX;
    const int b0 = ref[0], g0 = ref[1], r0 = ref[2];
    // 64-bit: any int distance, negative ones included, squares without overflow.
    const long long limit = static_cast<long long>(distance) * distance;
    const cv::Rect r = clipRect(frame.size(), x0, y0, x1, y1);
    for (int y = r.y; y < r.y + r.height; ++y) {
        const std::uint8_t* p = frame.ptr<std::uint8_t>(y) + 3 * r.x;
        std::uint8_t* m = mask.ptr<std::uint8_t>(y) + r.x;
        for (int i = 0; i < r.width; ++i, p += 3) {
            const int db = b0 - p[0], dg = g0 - p[1], dr = r0 - p[2];
            m[i] = db * db + dg * dg + dr * dr < limit ? 0 : 255;
        }
    }
}

}  // namespace quendra
