#pragma once

// The colour classes of one analysis: what the operator picked, the loaded k-d tree and the
// caches that make per-pixel classification one table read.
//
// Tables, each 2^24 bytes indexed by colour key and allocated once with the object:
//  - sample table: picked colours, 0 not picked, 1..254 the class picked, 255 conflict;
//  - class cache:  classification of the loaded tree, filled lazily by the analysis and
//                  emptied only by reset() or load();
//  - preview cache: the same for the tree of a preview, cleared at every preview.
// Loading builds the tree from the file's records; the records do not enter the sample table,
// so a colour-class file cannot be saved again right after loading it.

#include <cstdint>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "colour/ColorClassFile.h"
#include "colour/KDTree.h"

namespace quendra {

class ColorClasses {
public:
    ColorClasses();

    // Class given to picked colours: the low byte of `value`.
    void setColorClass(int value) { colorClass_ = static_cast<std::uint8_t>(value); }
    std::uint8_t colorClass() const { return colorClass_; }

    // Class threshold of every tree classification. The class cache is not cleared, so colours
    // already classified keep their class until the next reset or load.
    void setLutThreshold(int t) { lutThreshold_ = t; }
    int lutThreshold() const { return lutThreshold_; }

    // Forgets picks, caches and the loaded state. A loaded tree stays until the next load that
    // brings samples, but is no longer in use while isLoaded() is false.
    void reset();

    // Records the colours of the half-open rectangle of `frame` for the current class.
    // An empty frame records nothing.
    void addSamples(const cv::Mat& frame, int x0, int y0, int x1, int y1);

    // Writes the picks as a colour-class file. The state does not change.
    ClassFileStatus save(const std::string& path) const;

    // Reads a colour-class file: on success resets, builds the tree from its records (an empty
    // file builds none and keeps the previous tree) and marks the classes loaded. On failure the
    // state is left exactly as it was.
    ClassFileStatus load(const std::string& path);

    // The frame painted by the classification of the current picks under the current
    // threshold (conflicts left out); the unpainted copy when nothing usable is picked.
    // An empty frame gives an empty picture.
    cv::Mat paintPreview(const cv::Mat& frame);

    bool isLoaded() const { return loaded_; }
    const KDTree* tree() const { return tree_.get(); }
    std::uint8_t* classLut() { return classLut_.get(); }
    const std::uint8_t* sampleTable() const { return sampleTable_.get(); }

private:
    std::uint8_t colorClass_ = ClassEnamel;
    int lutThreshold_ = 5;
    bool loaded_ = false;
    std::unique_ptr<std::uint8_t[]> sampleTable_;
    std::unique_ptr<std::uint8_t[]> classLut_;
    std::unique_ptr<std::uint8_t[]> previewLut_;
    std::unique_ptr<KDTree> tree_;
};

}  // namespace quendra
