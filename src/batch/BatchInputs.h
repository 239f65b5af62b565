#pragma once

// The inputs of a batch run and the names of what the run writes for each.
//
// Folders are expanded to their pictures and videos, sorted by name, leaving out the files
// this program writes (names ending in -analyse.png). A file given twice is analysed once.
// Every output of an input lies under --out at the input's folder relative to the folder all
// inputs share, and carries the input's whole file name, so two inputs never share an output:
// a/x.png and b/x.png write a/x.png-analyse.png and b/x.png-analyse.png, x.png and x.jpg write
// x.png-analyse.png and x.jpg-analyse.png.

#include <filesystem>
#include <string>
#include <vector>

#include "io/MediaFiles.h"

namespace quendra {

struct BatchItem {
    std::string path;                   // as given, or the folder given joined with the name
    MediaKind kind = MediaKind::Other;  // Picture or Video
    std::filesystem::path outputBase;   // the outputs' common start: out/<folder>/<file name>
};

struct BatchInputs {
    std::vector<BatchItem> items;
    std::vector<std::string> problems;  // inputs that cannot be analysed, named
    std::vector<std::string> notes;     // what was left out on purpose
};

BatchInputs collectInputs(const std::vector<std::string>& inputs, const std::filesystem::path& out);

// Whether a file name is one this program writes: such files are never taken from a folder.
bool isBatchOutputName(const std::string& fileName);

// The overlay picture and the recognition-data text of a picture, or of frame `frame` of a
// video (frame < 0 for a picture).
std::filesystem::path overlayPath(const BatchItem& item, int frame);
std::filesystem::path textPath(const BatchItem& item, int frame);

// Whether `file` is, or could be, one of the outputs of `item`.
bool isOutputOf(const BatchItem& item, const std::filesystem::path& file);

}  // namespace quendra
