#pragma once

// Writes a multi-page TIFF one page at a time (libtiff), for the generated test stacks and the
// benchmarks: a stack of any length is written with one page in memory.

#include <opencv2/core.hpp>
#include <string>

typedef struct tiff TIFF;

namespace quendra {

struct TiffLayout {
    int tileSize = 0;             // 0: strips of 16 rows; otherwise square tiles (a multiple of 16)
    bool separatePlanes = false;  // colour pages as three planes instead of interleaved
    bool minIsWhite = false;      // grey pages stored inverted, photometric min-is-white
    bool deflate = false;         // compressed; otherwise stored plainly
    // The scale tags of every page: XResolution and YResolution (pixels per unit; 0 for none)
    // in ResolutionUnit (RESUNIT_*), and ImageDescription (an ImageJ header) where not empty.
    double xResolution = 0, yResolution = 0;
    int resolutionUnit = 0;
    std::string description{};
};

class TiffStackWriter {
public:
    // Creates `path` (BigTIFF, so that stacks beyond 4 GiB fit). Check isOpen().
    explicit TiffStackWriter(const std::string& path, TiffLayout layout = {});
    ~TiffStackWriter();
    TiffStackWriter(const TiffStackWriter&) = delete;
    TiffStackWriter& operator=(const TiffStackWriter&) = delete;

    bool isOpen() const { return tiff_ != nullptr; }
    // Appends `page`: CV_8UC1, CV_16UC1 (grey), CV_8UC3 or CV_16UC3 (B,G,R). False on failure.
    bool append(const cv::Mat& page);
    // Finishes the file; false when anything failed.
    bool close();

private:
    TIFF* tiff_ = nullptr;
    TiffLayout layout_;
    bool ok_ = true;
};

}  // namespace quendra
