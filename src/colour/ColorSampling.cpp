#include "colour/ColorSampling.h"

#include "colour/ClassCache.h"
#include "colour/ColorKey.h"
#include "colour/PixelScan.h"

namespace quendra {

void markSamples(const cv::Mat& frame, std::uint8_t* table, std::array<std::size_t, 256>& counts,
                 std::uint8_t classId, int x0, int y0, int x1, int y1) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
    const cv::Rect r = clipRect(frame.size(), x0, y0, x1, y1);
    for (int y = r.y; y < r.y + r.height; ++y) {
        const std::uint8_t* p = frame.ptr<std::uint8_t>(y) + 3 * r.x;
        for (int i = 0; i < r.width; ++i, p += 3) {
            std::uint8_t& entry = table[colorKeyOf(p)];
            const std::uint8_t marked =
                (entry != ClassNone && entry != classId) ? std::uint8_t{ClassConflict} : classId;
            --counts[entry];
            ++counts[marked];
            entry = marked;
        }
    }
}

void paintPreview(const cv::Mat& frame, const KDTree& tree, ClassCache& cache, int threshold,
                  cv::Mat& preview) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
    CV_Assert(preview.type() == frame.type() && preview.size() == frame.size());
    cache.clear();
    std::vector<int> pending;
    for (int y = 0; y < frame.rows; ++y) {
        const std::uint8_t* p = frame.ptr<std::uint8_t>(y);
        classifyRowIntoCache(p, frame.cols, cache.data(), &tree, threshold, pending);
        cv::Vec3b* out = preview.ptr<cv::Vec3b>(y);
        for (int x = 0; x < frame.cols; ++x, p += 3) {
            switch (cache[colorKeyOf(p)]) {
                case ClassEnamel:
                    out[x] = {255, 255, 255};
                    break;
                case ClassGum:
                    out[x] = {0, 0, 255};
                    break;
                case ClassBlack:
                    out[x] = {0, 0, 0};
                    break;
                default:
                    break;
            }
        }
    }
}

}  // namespace quendra
