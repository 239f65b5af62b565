#pragma once

// The inputs of a batch run and the names of what the run writes for each.
//
// Folders are expanded to their pictures and videos, sorted by name, leaving out the files
// this program writes (isBatchOutputName, isRunFileName); every other file and folder in them
// is named as left out. A file given twice is analysed once; of two files whose names the
// table would write alike (utf8Text), the second is named and left out. Every output
// of an input lies under --out at the input's folder relative to the folder all inputs share,
// and carries the input's whole file name, so two inputs never share an output: a/x.png and
// b/x.png write a/x.png-analyse.jpg and b/x.png-analyse.jpg, x.png and x.jpg write
// x.png-analyse.jpg and x.jpg-analyse.jpg.
//
// A TIFF of several pages is a stack of slices, each page a slice; with `stackFolders` every
// folder given is one stack of its pictures (SliceStack.h), whose outputs are named after the
// folder. A folder holding DICOM files is one stack of its series wherever it is given, a
// multi-frame DICOM file is a stack, a DICOM file of one image a picture (DicomSeries.h); what
// the series leaves out is named among the notes.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "io/MediaFiles.h"

namespace quendra {

struct BatchItem {
    std::string path;                    // as given, or the folder given joined with the name
    MediaKind kind = MediaKind::Other;   // Picture, Video or Stack
    std::filesystem::path outputBase{};  // the outputs' common start: out/<folder>/<file name>
    std::optional<double> pxPerMm{};     // its scale, when it has one
    std::optional<double> sliceMm{};     // a stack's slice distance, when known
    std::string scaleSource{};           // where pxPerMm and sliceMm come from, for the record
};

struct BatchInputs {
    std::vector<BatchItem> items;
    std::vector<std::string> problems;  // inputs that cannot be analysed, named
    std::vector<std::string> notes;     // what was left out on purpose
};

BatchInputs collectInputs(const std::vector<std::string>& inputs, const std::filesystem::path& out,
                          bool stackFolders = false);

// The frames of a video or stack a run analyses: first, first + step, ... while below end.
// A video's frames count from 0 and every --every-th is taken; a stack's slices count from 1
// and every one is taken, since a canal is followed from each slice to the next.
struct FrameGrid {
    int first = 0;
    int step = 1;
    int end = 0;

    int last() const {
        return end > first ? first + (end - 1 - first) / step * step : first - step;
    }
    int count() const { return end > first ? (end - 1 - first) / step + 1 : 0; }
};
FrameGrid frameGridOf(MediaKind kind, int frames, int every);
// Opens the video or stack to count its frames; none when it cannot be read.
FrameGrid frameGridOf(const BatchItem& item, int every);
// How messages name one of an item's frames: "frame" of a video, "slice" of a stack.
const char* frameWord(const BatchItem& item);

// Part `shard` (from 1) of `shards` contiguous parts of the items, as even as can be.
std::vector<BatchItem> shardOf(const std::vector<BatchItem>& items, int shard, int shards);

// Whether a file name is one this program writes: such files are never taken from a folder.
bool isBatchOutputName(const std::string& fileName);
// Whether it is a run's own file: the default table (results.csv, results-K-of-N.csv), the
// stacks', canals' and levels' tables (stacks.csv, stacks-K-of-N.csv, ...), the record (run.json,
// run-K-of-N.json), the report and its thumbnails' folder (report.html, report-thumbs, per shard
// report-K-of-N...), the lock, or a hidden temporary file of a file being written. A folder's other
// files that are no picture or video are named as left out; these are not.
bool isRunFileName(const std::string& fileName);

// The outputs of a picture, or of frame `frame` of a video or stack (frame < 0 for a picture).
enum class Output {
    JpegOverlay,  // <name>-analyse.jpg
    PngOverlay,   // <name>[-f<frame>]-analyse.png
    Text,         // <name>[-f<frame>]-analyse.txt
    Labels,       // <name>[-f<frame>]-labels.png
    Movie,        // <name>-analyse.mov, a video's or stack's frames
    CanalsSvg,    // <name>-canals.svg, a stack's canal counts along its slices
    CanalsTif,    // <name>-canals.tif, a stack's canals as a label volume (--masks)
};
std::filesystem::path outputPath(const BatchItem& item, Output output, int frame = -1);

// The outputs a run's items would write, to tell whether a file is, or could be, one of them
// (whatever the run's options): looked up by name, so that a run of many thousand inputs
// checks them all at once.
class RunOutputs {
public:
    explicit RunOutputs(const std::vector<BatchItem>& items);

    // The item that would write `file`, or null.
    const BatchItem* writerOf(const std::filesystem::path& file) const;

private:
    std::map<std::string, const BatchItem*> byBase;  // absolute and normal output bases
};

}  // namespace quendra
