#pragma once

// A stack of slices from DICOM files, read with GDCM: the single-frame images of one series in
// a folder (one file a slice), or the frames of one multi-frame file.
//
// A folder's slices are ordered by their position along the slice normal, ImagePositionPatient
// projected on the cross product of ImageOrientationPatient's row and column directions,
// ascending; never by file name. Without positions they go by InstanceNumber, named. Of several
// series in a folder the one with the most files is the stack; the files of the others, and
// files that are no DICOM image, are named and left out. Two slices at one position (the second
// is left out) and a gap (a step above 1.5 times the median step) are named. A multi-frame
// file's frames keep their stored order.
//
// Stored values go through RescaleSlope and RescaleIntercept. The result is a CV_16UC1 slice
// holding the rescaled value plus `offset()`: the lowest value the stored bits can be rescaled
// to, negated, at most 32768, or 0 when none is negative (Hounsfield units from signed 16-bit
// values get 32768), values beyond 16 bits clipped; 8-bit unsigned images with
// no rescale and no window in their header stay CV_8UC1 as stored. MONOCHROME1 images (white
// is low) are turned over to MONOCHROME2 by negating the rescaled value. Grey images of 8 or
// 16 bits allocated, signed or unsigned, with any transfer syntax GDCM decodes are read;
// colour images and other depths are Unreadable with their reason.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/FileScale.h"
#include "io/TiffPages.h"

namespace quendra {

// Whether `path` is a regular file with DICOM's preamble ("DICM" at byte 128).
bool isDicomFile(const std::string& path);
// Whether `folder` holds at least one DICOM file (not searching folders within it).
bool holdsDicom(const std::filesystem::path& folder);
// What a stack opened from `file` reads: the folder of a single-frame DICOM file (its series),
// else the file.
std::string dicomStackPath(const std::string& file);

// How a series' stored values become its slices' values (see above).
struct DicomValues {
    double offset = 0;
    double sign = 1;        // -1 for MONOCHROME1
    bool asStored = false;  // 8-bit slices kept as they are
    std::optional<std::pair<double, double>> window;
};

class DicomSeries {
public:
    // A folder of single-frame files or one file. Check status().
    explicit DicomSeries(const std::string& path);
    ~DicomSeries();

    // Ok with at least one slice; NotAFile, Unreadable otherwise (problem() says why).
    PictureStatus status() const { return status_; }
    const std::string& problem() const { return problem_; }
    int sliceCount() const { return static_cast<int>(slices_.size()); }
    // Files left out, gaps and repeated positions, in words for the run's messages.
    const std::vector<std::string>& notes() const { return notes_; }
    // PixelSpacing and the median step of the positions (a multi-frame file's
    // SpacingBetweenSlices).
    const FileScale& scale() const { return scale_; }
    // The header's WindowCenter and WindowWidth (the first pair) as raw values of the slices
    // read: low = centre - width / 2 + offset, high = centre + width / 2 + offset.
    std::optional<std::pair<double, double>> window() const { return values_.window; }
    double offset() const { return values_.offset; }
    // Bits allocated per sample (8 or 16).
    int bits() const { return bits_; }

    SliceRead read(int index);
    std::string sliceName(int index) const;

private:
    struct Slice {
        std::filesystem::path file;
        int frame = 0;  // of a multi-frame file
        double slope = 1, intercept = 0;
    };
    struct Decoded;
    void openFolder(const std::filesystem::path& folder);
    void openFile(const std::filesystem::path& file);

    std::string path_;
    PictureStatus status_ = PictureStatus::Unreadable;
    std::string problem_;
    std::vector<Slice> slices_;
    std::vector<std::string> notes_;
    FileScale scale_;
    DicomValues values_;
    int bits_ = 16, rows_ = 0, columns_ = 0;
    // A multi-frame file is decoded whole at its first read and kept while the stack is read.
    std::unique_ptr<Decoded> decoded_;
};

}  // namespace quendra
