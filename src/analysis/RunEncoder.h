#pragma once

// Run-length encoding of a mask: one Run for every maximal horizontal stretch of foreground
// (value 0) pixels of a row. Runs never continue into the next row and come out ordered by
// row, then by column.

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

namespace quendra {

struct Run {
    int xStart;   // first column
    int xEnd;     // last column, inclusive
    int y;        // row
    int region;   // index of the run's region, set when regions are accumulated
    Run* parent;  // union-find parent within the same array; a root is its own parent
};

// Owns one growable run array on the C heap. The array doubles from 4 runs when full; since a
// move invalidates parent pointers, parents are set only after the encoding has ended.
class RunEncoder {
public:
    RunEncoder() = default;
    ~RunEncoder();
    RunEncoder(const RunEncoder&) = delete;
    RunEncoder& operator=(const RunEncoder&) = delete;

    // Encodes `rows` rows of `cols` mask bytes, row r starting r * step bytes after `data`; the
    // bytes past `cols` in a row are never read. Frees the previous array first. A byte other
    // than 0 and 255 is background and prints "nix gut <offset> <hex value>" to standard output.
    // Returns the first run (null when there is none) and the number of runs in `count`. The
    // runs' coordinates are those of the rows and columns plus `origin`: a part of a picture
    // gives the picture's coordinates.
    Run* encodeRuns(const std::uint8_t* data, int rows, int cols, std::size_t step, int& count,
                    cv::Point origin = {});

private:
    void append(int xStart, int xEnd, int y);
    void release();

    Run* begin = nullptr;
    Run* capacityEnd = nullptr;
    Run* end = nullptr;
    bool relinkNeeded = false;
};

}  // namespace quendra
