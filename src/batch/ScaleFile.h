#pragma once

// The scale file of --scale: CSV rows "file,px_per_mm", one a line; a first row
// "file,px_per_mm" is a header, empty lines are passed over, a byte order mark before the first
// row is no part of it. A badly quoted line is left out with a warning that names it.
//
// One rule matches rows to inputs, whether the inputs were given one by one or as folders: a
// row serves the input it names as the table does (the path as given on the command line, a
// folder's files as folder/name; "./" and doubled slashes do not count), else the input whose
// file name it gives alone. A file name that several inputs without a row of their own share
// would give them all one scale and is refused, as is a name given twice. A row with a path
// serves the input at the same place however either is written (absolute or relative, through
// links).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"

namespace quendra {

// The largest scale file read: room for a row for each of a million inputs.
inline constexpr std::uintmax_t kMaxScaleFileBytes = std::uintmax_t{256} << 20;

struct ScaleRow {
    int row = 0;  // in the file, from 1
    std::string name;
    double pxPerMm = 0;
};

// The rows; on a problem nothing, and `problem` names the file and the row. Lines left out are
// named in `warnings`.
std::optional<std::vector<ScaleRow>> readScaleFile(const std::string& path, std::string& problem,
                                                   std::vector<std::string>& warnings);

// The row serving each item (null for none), by the rule above; nothing, with `problem` set,
// when a row's file name fits several items.
std::optional<std::vector<const ScaleRow*>> matchScales(const std::vector<ScaleRow>& rows,
                                                        const std::vector<BatchItem>& items,
                                                        const std::string& scaleFile,
                                                        std::string& problem);

}  // namespace quendra
