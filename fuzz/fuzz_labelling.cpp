// Run encoding and labelling over arbitrary masks and row strides: every region's area must
// add up to the number of foreground pixels, and no byte past a row's width is read (the
// padding is foreground, so reading it would show).

#include "FuzzInput.h"
#include "analysis/Regions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const int width = in.takeIn(1, 200), height = in.takeIn(1, 200), padding = in.takeIn(0, 16);
    cv::Mat storage(height, width + padding, CV_8UC1, cv::Scalar(0));
    cv::Mat mask = storage(cv::Rect(0, 0, width, height));
    long long foreground = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t bit = in.take<std::uint8_t>() & 1;
            mask.at<std::uint8_t>(y, x) = bit ? 0 : 255;
            foreground += bit;
        }
    std::vector<quendra::Region> regions;
    quendra::RunEncoder encoder;
    quendra::Run* runs = nullptr;
    const int runCount = quendra::labelRegions(mask, regions, encoder, runs, true);
    double area = 0;
    for (const quendra::Region& r : regions) {
        area += r.area;
        if (r.minX < 0 || r.maxX >= width || r.minY < 0 || r.maxY >= height) __builtin_trap();
    }
    if (static_cast<long long>(area) != foreground || (runCount == 0) != (foreground == 0))
        __builtin_trap();
    if (!regions.empty()) (void)quendra::largestRegion(regions);
    return 0;
}
