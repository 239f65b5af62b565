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
//   note                     why the root has no Vertucci type; empty with one
// A stack in which no root was found has one row that names only the stack.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/CanalTracking.h"
#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"

namespace quendra {

std::string stacksTableHeader();

// The rows of a stack's roots, in the stacks' table's columns.
std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm);

// Of the stacks' table of a run being resumed (its whole text), the header and the rows of the
// stacks in `finished` (named as the table names them), for the resumed run to go on from;
// nothing when the text is not a stacks' table.
std::optional<std::string> stackRowsKept(std::string_view table,
                                         const std::unordered_set<std::string>& finished);

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
    std::optional<std::string> addSlice(const BatchItem& item, int slice,
                                        const std::optional<SliceSection>& section,
                                        bool teethLeftOut);

    struct End {
        std::string rows;                // for the stacks' table
        std::vector<std::string> notes;  // for the run record (rootNotes)
        std::optional<std::string> problem;
        std::optional<std::string> note;  // a hint, no problem
    };
    // The stack in hand is complete: its rows, and its picture written. A stack whose file
    // ends before its last page (`cutShort`) gets neither: its roots' configurations would be
    // those of a part of them.
    End finish(const BatchItem& item, bool cutShort);

private:
    const BatchOptions& options;
    const BatchItem* current = nullptr;
    std::optional<CanalTracker> tracker;
    int slicesWithTeethLeftOut = 0;
};

}  // namespace quendra
