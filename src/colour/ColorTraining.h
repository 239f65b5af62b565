#pragma once

// The colour classes as the operator trains them in the configuration mode: the colours
// picked for each class and a preview of what they would classify.
//
// The sample table has one byte per colour key (2^24 bytes): 0 not picked, 1..254 the class
// picked, 255 picked for two classes (a conflict). Saving writes it as a colour-class file;
// what a loaded file classifies is a ColorClassifier, apart from the picks.

#include <array>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "colour/ClassCache.h"
#include "io/ColorClassFile.h"

namespace quendra {

class ColorTraining {
public:
    ColorTraining();

    // Class given to picked colours: the low byte of `value`.
    void setColorClass(int value) { colorClass_ = static_cast<std::uint8_t>(value); }
    std::uint8_t colorClass() const { return colorClass_; }

    // Forgets every pick.
    void reset();

    // Records the colours of the half-open rectangle of `frame` for the current class.
    // An empty frame records nothing.
    void addSamples(const cv::Mat& frame, int x0, int y0, int x1, int y1);

    // How many colours the table gives each value (index 0: the colours not picked).
    const std::array<std::size_t, 256>& classCounts() const { return counts_; }

    // Every picked colour with its class, conflicts included, in ascending colour-key order:
    // the records a saved file holds.
    std::vector<PackedSample> samples() const;

    // Writes the picks as a colour-class file; NothingPicked, and nothing written, without
    // any pick.
    ClassFileStatus save(const std::string& path) const;

    // The frame painted by the classification of the current picks (conflicts left out) under
    // `threshold`; the unpainted copy when nothing usable is picked. An empty frame gives an
    // empty picture.
    cv::Mat paintPreview(const cv::Mat& frame, int threshold);

    const std::uint8_t* sampleTable() const { return sampleTable_.get(); }

private:
    std::uint8_t colorClass_ = ClassEnamel;
    std::unique_ptr<std::uint8_t[]> sampleTable_;
    std::array<std::size_t, 256> counts_{};
    ClassCache previewCache_;
};

}  // namespace quendra
