#pragma once

// Writes DICOM files with GDCM, as a CT scanner exports them, for the tests and benchmarks:
// one file a slice (CT Image Storage) or one multi-frame file, with the positions, pixel
// spacing, rescale and window of the header that the reading takes.

#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "StackScene.h"

namespace quendra {

enum class DicomCompression { None, Rle, JpegLossless };

struct DicomHeader {
    double pixelMm = 0.05;   // PixelSpacing across (columns)
    double pixelMmDown = 0;  // PixelSpacing down (rows); 0: as across
    double sliceMm = 0.05;   // distance of neighbouring positions
    double slope = 1, intercept = 0;
    std::optional<cv::Vec2d> window{};                   // WindowCenter, WindowWidth
    std::string series = "1.2.826.0.1.3680043.8.498.1";  // SeriesInstanceUID
    bool positions = true;  // ImagePositionPatient and ImageOrientationPatient
    DicomCompression compression = DicomCompression::None;
};

// One slice file: `stored` CV_8UC1, CV_16UC1 or CV_16SC1 (stored values); it lies at
// `position` along the normal and is instance `instance`. False when it cannot be written.
bool writeDicomSlice(const std::string& path, const cv::Mat& stored, const DicomHeader& header,
                     double position, int instance);

// One multi-frame file of equal-sized slices (one type), SpacingBetweenSlices as given.
bool writeDicomFrames(const std::string& path, const std::vector<cv::Mat>& frames,
                      const DicomHeader& header);

// The scene's slices (grey) as a series in `folder`, slice i at position i x sliceMm. The file
// of slice i is named by `names[i]` where given (to mix up name order and position order),
// else "IM<i+1>.dcm". 16-bit slices are stored as they render when the rescale is the identity,
// else as (value - intercept) / slope.
bool writeDicomSeries(const StackScene& scene, const std::string& folder, const DicomHeader& header,
                      const std::vector<std::string>& names = {});

// Names for `count` files in an order unlike the slices': "s<k>.dcm" with k a fixed shuffle.
std::vector<std::string> shuffledNames(int count);

}  // namespace quendra
