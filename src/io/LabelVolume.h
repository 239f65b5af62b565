#pragma once

// A stack's canals as a label volume: a 16-bit multi-page TIFF, a page a slice, holding on each
// pixel the number of the canal it is part of and 0 elsewhere, which Fiji and napari open as one
// volume with its voxel size.
//
// A slice's labels come as the canal tracker takes them (SliceSection::canals), while the
// canals' numbers are known only once the whole stack is tracked. So the volume keeps every
// slice's labels run-length encoded (each row's stretches of one label) and turns them into
// numbers as it writes the file: a 1000-slice stack of 1000 x 1000 pixels, 2 GB as pictures,
// takes a few megabytes so.
//
// The file: pages of 16-bit grey samples, compressed with Deflate (ImageJ's "ZIP"; a label
// volume is mostly 0), the first with ImageJ's description
//   ImageJ=1.11a  images=N  slices=N  unit=mm  spacing=<slice mm>  loop=false  (a line each)
// and every page with the pixels per millimetre as ImageJ writes them: XResolution and
// YResolution in pixels per unit, ResolutionUnit none, the unit in the description (FileScale.h
// reads them back). Without a pixel size the description has neither unit nor spacing, since
// ImageJ would take a spacing without a unit for one in pixels; without a slice distance it has
// no spacing. ImageJ reads compressed pages one by one (uncompressed ones it would take to lie
// back to back, as libtiff does not store them). The file is written beside its target and
// renamed into place only when complete (FileWriting.h).

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "io/FileWriting.h"

typedef struct tiff TIFF;

namespace quendra {

class LabelVolume {
public:
    // The next slice's labels: CV_16UC1 or CV_32SC1, 0 where there is none, every slice of the
    // size of the first. An empty picture is a slice without labels (one not read or analysed).
    // Throws std::invalid_argument for other pictures and for negative labels.
    void addSlice(const cv::Mat& labels);
    int sliceCount() const { return static_cast<int>(slices_.size()); }
    // The slices' size; empty until a slice has a picture.
    cv::Size sliceSize() const { return size_; }

    // Writes the volume to `path`. On slice s (from 0, stack order) label l becomes
    // numbers[s][l], and 0 where numbers has no such entry: canalNumbersBySlice
    // (analysis/CanalLevels.h) gives them from the stack's canals. Numbers must not be
    // negative, nor `pxPerMm` and `sliceMm`, where given, other than positive and finite
    // (std::invalid_argument). Returns false and why in `reason` ("No space left on device",
    // "no slice has a picture", "more canals than 16 bits can number") when the volume could
    // not be written, leaving any file at `path` as it was and nothing else behind; errno then
    // tells a full disk (ENOSPC, EFBIG) where a write failed.
    bool write(const std::string& path, const std::vector<std::vector<int>>& numbers,
               std::optional<double> pxPerMm, std::optional<double> sliceMm, std::string& reason,
               Durability durability = Durability::Flushed) const;

private:
    // Slice `slice`'s rows, its labels as `numberOf` gives them, then the page's directory.
    bool writePage(TIFF* tiff, std::size_t slice, const std::vector<int>& numberOf,
                   std::vector<std::uint16_t>& row) const;

    struct LabelRun {
        int y, x, length, label;
    };
    std::vector<std::vector<LabelRun>> slices_;  // each slice's runs by row, then column
    cv::Size size_;
};

}  // namespace quendra
