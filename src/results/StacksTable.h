#pragma once

// The stacks' table (stacks.csv, stacks-K-of-N.csv for a shard, in --out) is CSV as the run's
// table writes it: UTF-8, names as utf8Text gives them, lines ending in CR LF. Columns:
//   stack                    the input as the table names it
//   tooth                    the root, from 1 in the order the roots appear in the stack
//   first_slice, last_slice  the slices that show the root, from 1 in stack order
//   configuration            the canal counts from the coronal end, "1-2-1" (CanalTracking.h)
//   vertucci                 its type, I to VIII, or empty for any other configuration
//   canals_max               the most canals of any stretch of the configuration
//   divisions, junctions     of the canals, from the coronal end toward the apex
//   length_mm                the root's length: its slices times the slice distance (--slice-mm,
//                            else the file's: FileScale.h)
//   four_digit               the four-digit code of the canals by thirds and at the foramen,
//                            "2-2-1-1" (CanalMeasures.h)
//   note                     why the root has no Vertucci type; empty with one
// A stack in which no root was found has one row that names only the stack.
//
// The canals' table (canals.csv, canals-K-of-N.csv) has a row per canal of a root (CanalRun,
// CanalTracking.h: a stretch between divisions and junctions), its figures as CanalMeasures.h
// defines them: stack, root, canal, first_slice, last_slice, slices, length_mm,
// volume_voxels, volume_mm3, diameter_min_px, diameter_mean_px, diameter_max_px,
// diameter_min_mm, diameter_mean_mm, diameter_max_mm, from_canals (the canals it continues at
// its coronal end: two or more where they join into it, one that divides into it and others)
// and into_canals (those it continues into at its apical end: two or more where it divides),
// numbers separated by spaces.
//
// The levels' table (levels.csv, levels-K-of-N.csv; with --levels-mm) has a row per root,
// level and canal of the root in the level's slice (CanalLevels.h): stack, root, level_mm (the
// distance from the apex asked for), slice (empty beyond the root's coronal end), canal (empty
// for a level without a canal, or beyond the root), and the canal's area_mm2, perimeter_mm,
// circularity, feret_max_mm and feret_min_mm in that slice, the cells of its row of the run's
// table there. A level beyond the root, or without a canal, has one row.
//
// Each table has one column list (StacksTable.cpp) that makes its header and rows, and that
// the readers find the columns by (TableColumns.h).

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/CanalLevels.h"
#include "analysis/CanalTracking.h"
#include "results/ResultsTable.h"
#include "results/TableColumns.h"

namespace quendra {

enum class StackColumn {
    Stack,
    Tooth,
    FirstSlice,
    LastSlice,
    Configuration,
    Vertucci,
    CanalsMax,
    Divisions,
    Junctions,
    LengthMm,
    FourDigit,
    Note,
};

enum class CanalColumn {
    Stack,
    Root,
    Canal,
    FirstSlice,
    LastSlice,
    Slices,
    LengthMm,
    VolumeVoxels,
    VolumeMm3,
    DiameterMinPx,
    DiameterMeanPx,
    DiameterMaxPx,
    DiameterMinMm,
    DiameterMeanMm,
    DiameterMaxMm,
    FromCanals,
    IntoCanals,
};

enum class LevelColumn {
    Stack,
    Root,
    LevelMm,
    Slice,
    Canal,
    AreaMm2,
    PerimeterMm,
    Circularity,
    FeretMaxMm,
    FeretMinMm,
};

std::string_view columnName(StackColumn column);
std::string_view columnName(CanalColumn column);
std::string_view columnName(LevelColumn column);

std::string stacksTableHeader();

std::string canalsTableHeader();

std::string levelsTableHeader();

// Where the stacks' table's columns stand in a header read back (its fields).
ColumnPlaces<StackColumn> stackColumnsIn(const std::vector<std::string>& header);

// The rows of a stack's canals, in the canals' table's columns.
std::string canalRows(const std::string& stack, const std::vector<CanalRun>& canals,
                      std::optional<double> pxPerMm, std::optional<double> sliceMm);

// A canal's row of the run's table in a slice (its fields), and where that table's columns
// stand, for the levels' table to take the canal's measures from.
struct CanalCells {
    const std::vector<std::string>& fields;
    const ColumnPlaces<ResultsColumn>& columns;
};

// The rows of a root's levels (rootLevels) in the levels' table's columns; `cellsAt` gives the
// row of the canal with a label in a slice, or none.
std::string levelRows(
    const std::string& stack, int root, const std::vector<RootLevel>& levels,
    const std::function<std::optional<CanalCells>(int slice, int label)>& cellsAt);

// The rows of a stack's roots, in the stacks' table's columns.
std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm);

// Of the stacks', the canals' or the levels' table of a run being resumed (its whole text), the
// header and the rows of the stacks in `finished` (named as the table names them), for the resumed
// run to go on from; nothing when the text is not such a table.
std::optional<std::string> stackRowsKept(std::string_view table,
                                         const std::unordered_set<std::string>& finished,
                                         const std::string& header = stacksTableHeader());

}  // namespace quendra
