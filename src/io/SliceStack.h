#pragma once

// A stack of slices (sections through a tooth, one after another): the pages of a multi-page
// TIFF, or the pictures of a folder in natural name order. Slices are read one at a time on
// request, so a stack of any length takes the memory of the slice in hand. A DICOM series (a
// folder holding DICOM files) or a DICOM file is read by DicomSeries.h.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/FileScale.h"
#include "io/TiffPages.h"

namespace quendra {

class DicomSeries;

class SliceStack {
public:
    // A multi-page TIFF file (a single page makes a stack of one slice), or a folder
    // (slicesOfFolder). `path` in the platform's file-name encoding. Check status().
    explicit SliceStack(const std::string& path);
    // The given pictures (JPEG, PNG, BMP or TIFF: the first page) as slices, in this order.
    explicit SliceStack(std::vector<std::filesystem::path> files);

    // Ok with at least one slice; NotAFile when the path is neither a file nor a folder;
    // Unreadable for a file that is no TIFF and a folder without pictures.
    PictureStatus status() const { return status_; }
    int sliceCount() const { return count_; }
    // Of a TIFF that ends before its last page or whose pages loop back (TiffPages::pageChain):
    // the slices are its first.
    PageChain pageChain() const { return pages_ ? pages_->pageChain() : PageChain::Whole; }
    // A TIFF whose pages change their depth (TiffPages::depthChange): the first slice of
    // another depth than the first slice's, or -1.
    int depthChange() const { return pages_ ? pages_->depthChange() : -1; }
    int bitsOf(int index) const;

    // Of a DICOM series: what was left out or is amiss (DicomSeries::notes), and the grey
    // window of its header. Of a TIFF or DICOM: the scale it gives (FileScale.h).
    std::vector<std::string> notes() const;
    std::optional<std::pair<double, double>> fileWindow() const;
    FileScale fileScale() const;
    // Why a DICOM stack holds no slice, or empty.
    std::string problem() const;

    // Slice `index` (0 <= index < sliceCount()), as stored (see SliceRead).
    SliceRead read(int index);

    // Where slice `index` comes from, for messages: the file, and for a TIFF its page from 1.
    std::string sliceName(int index) const;

private:
    std::string path_;
    std::optional<TiffPages> pages_;
    std::shared_ptr<DicomSeries> dicom_;
    std::vector<std::filesystem::path> files_;
    PictureStatus status_ = PictureStatus::Unreadable;
    int count_ = 0;
};

// The pictures of `folder` a stack is made of (JPEG, PNG, BMP, TIFF; regular files only), in
// natural name order: digit runs compare by their value, so s2 comes before s10, and names
// equal so far by their characters.
std::vector<std::filesystem::path> slicesOfFolder(const std::filesystem::path& folder);

// The files a folder's stack is read from: every regular file of a folder holding DICOM files
// (its series among them), else slicesOfFolder.
std::vector<std::filesystem::path> stackFiles(const std::filesystem::path& folder);

// Natural order of two file names (see slicesOfFolder).
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace quendra
