#pragma once

// The names of a run's own files in its output folder: the table, the run record, the lock,
// the report page and its thumbnails' folder, the stacks', the canals' and the levels' tables. Each
// shard K of N names its own with "-K-of-N" after the stem (results-2-of-3.csv,
// report-2-of-3-thumbs), so that shards can share a folder.

#include <string>
#include <string_view>

namespace quendra {

enum class RunFile { Table, Record, Lock, Report, ReportThumbnails, Stacks, Canals, Levels };

// "-K-of-N" for shard K of N, empty for a run in one part.
std::string shardSuffix(int shard, int shards);

// The file's name in a run whose names carry `suffix` (shardSuffix).
std::string runFileName(RunFile file, std::string_view suffix);

// Whether `name` is the file's name in a run in one part or in any shard.
bool isShardName(RunFile file, std::string_view name);

// Whether `name` has the file's stem and ending, whatever stands between them.
bool hasStemAndEnding(RunFile file, std::string_view name);

}  // namespace quendra
