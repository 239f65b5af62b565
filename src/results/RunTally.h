#pragma once

// What a run's table adds up to: the counts of its rows and, per tooth type, the measures of
// the canals, read from the table's text through its column list (ResultsTable.h), so that a
// table with more columns (or without the millimetre ones) is read alike. One pass over the
// rows; nothing is kept per row but the canals' measures and one entry per analysed picture or
// frame.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quendra {

// The measures of the canals of one tooth type, one value per canal that has it.
struct CanalMeasures {
    std::vector<double> areaPx;        // area_px, pixels
    std::vector<double> areaMm2;       // area_mm2, square millimetres (canals with a scale)
    std::vector<double> circularity;   // 4π area / perimeter², 1 for a disc
    std::vector<double> caliperRatio;  // feret_max_px / feret_min_px, else aspect_ratio
    std::map<std::string, std::size_t> shapes;  // canals by shape class
};

// How one analysed picture or frame ended.
enum class FrameOutcome { NoTooth, NoCanal, Canals };

struct FrameEntry {
    std::string file;  // as the table names it
    int frame = -1;    // the video frame, -1 for a picture
    FrameOutcome outcome = FrameOutcome::NoTooth;
    std::string type;  // of its first tooth; empty without one
};

struct RunTally {
    std::size_t items = 0;          // files with rows
    std::size_t frames = 0;         // analysed pictures and video frames
    std::size_t teeth = 0;          // "tooth" rows
    std::size_t canals = 0;         // "canal <n>" rows
    std::size_t noTooth = 0;        // "none" rows: nothing found
    std::size_t notRecognised = 0;  // tooth rows whose canals decide no type (ToothUnknown)
    std::map<std::string, std::size_t> toothTypes;      // tooth rows by type
    std::map<std::string, CanalMeasures> canalsByType;  // canals by their tooth's type
    bool caliperFromFeret = false;                      // the ratio came from the caliper columns
    std::vector<FrameEntry> frameList;                  // in the table's order
};

// The tally of a table's whole text (header first); a table without the columns file,
// object and type gives an empty tally.
RunTally tallyTable(std::string_view table);

}  // namespace quendra
