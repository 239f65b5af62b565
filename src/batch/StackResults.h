#pragma once

// The canal configuration of every root of a run's stacks: each stack's slices are followed as
// the writer passes them on in input order, and once the last slice is in, every root gets a
// row of the stacks' table and the stack its picture (CanalProfileSvg.h) beside its outputs.
//
// The stacks' table (stacks.csv, stacks-K-of-N.csv for a shard, in --out) is CSV as the
// run's table writes it: UTF-8, names as utf8Text gives them, lines ending in CR LF. Columns:
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
// numbers separated by spaces. A stack's rows in the run's table get their canal's number in
// the `canal` column (empty for the pulp chamber, noise and regions that are no roots): they
// are held until the stack is complete, when the numbers are known, and written then.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/CanalTracking.h"
#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"
#include "batch/BatchTable.h"

namespace quendra {

std::string stacksTableHeader();

std::string canalsTableHeader();

// The rows of a stack's canals, in the canals' table's columns.
std::string canalRows(const std::string& stack, const std::vector<CanalRun>& canals,
                      std::optional<double> pxPerMm, std::optional<double> sliceMm);

// The rows of a stack's roots, in the stacks' table's columns.
std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm);

// Of the stacks' table of a run being resumed (its whole text), the header and the rows of the
// stacks in `finished` (named as the table names them), for the resumed run to go on from;
// nothing when the text is not a stacks' table.
std::optional<std::string> stackRowsKept(std::string_view table,
                                         const std::unordered_set<std::string>& finished,
                                         const std::string& header = stacksTableHeader());

// What the run record says of a stack's roots: why a root has no type ("root 2: ..."), and
// how many tooth regions followed through the stack were no roots, and why.
std::vector<std::string> rootNotes(const std::vector<RootConfiguration>& roots,
                                   const RootsLeftOut& leftOut);

class StackResults {
public:
    explicit StackResults(const BatchOptions& options);

    // Slice `slice` (from 1) of the stack `item`, in order: its section, or none when the
    // slice could not be read or analysed, and whether the analysis left tooth regions out
    // (--teeth largest). Slices of a stack other than the one in hand start that stack
    // afresh. Returns the problem, when the slice cannot be followed.
    // The slice's rows of the run's table are held (`rows`, taken) until the stack ends.
    std::optional<std::string> addSlice(const BatchItem& item, int slice,
                                        const std::optional<SliceSection>& section,
                                        bool teethLeftOut, std::string& rows);

    struct End {
        std::string rows;                // for the stacks' table
        std::string canalRows;           // for the canals' table
        std::string tableRows;           // the stack's rows of the run's table, canals numbered
        std::vector<std::string> notes;  // for the run record (rootNotes)
        std::optional<std::string> problem;
        std::optional<std::string> note;  // a hint, no problem
    };
    // The stack in hand is complete: its rows, and its picture written. A stack whose file
    // ends before its last page or loops back (`chain`) gets neither: its roots'
    // configurations could be those of a part of them.
    End finish(const BatchItem& item, PageChain chain);

private:
    const BatchOptions& options;
    const BatchItem* current = nullptr;
    std::vector<std::pair<int, std::string>> heldRows;  // by slice
    std::optional<CanalTracker> tracker;
    int slicesWithTeethLeftOut = 0;
};

}  // namespace quendra
