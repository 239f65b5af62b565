#pragma once

// The scale file of --scale: CSV rows "file,px_per_mm", the file named as given on the command
// line or by its name within the folder given; a first row "file,px_per_mm" is a header.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace quendra {

// The largest scale file read: room for a row for each of a million inputs.
inline constexpr std::uintmax_t kMaxScaleFileBytes = std::uintmax_t{256} << 20;

// The scales by file name; on a problem nothing, and `problem` names the file and the row.
std::optional<std::map<std::string, double>> readScaleFile(const std::string& path,
                                                           std::string& problem);

}  // namespace quendra
