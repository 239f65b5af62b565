#pragma once

// The canal configuration of every root of a run's stacks: each stack's slices are followed as
// the writer passes them on in input order, and once the last slice is in, every root gets a
// row of the stacks' table, each of its canals one of the canals' table (StacksTable.h), and the
// stack its picture (CanalProfileSvg.h) beside its outputs. A stack's rows in the run's table
// get their canal's number in the `canal` column (empty for the pulp chamber, noise and regions
// that are no roots): they are held until the stack is complete, when the numbers are known,
// and written then. With --levels-mm each root's canals at those distances from its apex get
// rows of the levels' table, their measures those of their held rows in the level's slice;
// with --masks every slice's canal labels go into the stack's label volume (LabelVolume.h),
// written beside its outputs with the canals' numbers once the stack is complete.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CanalTracking.h"
#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"
#include "io/LabelVolume.h"
#include "io/TableFile.h"

namespace quendra {

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
        std::string levelRows;           // for the levels' table
        std::string tableRows;           // the stack's rows of the run's table, canals numbered
        std::vector<std::string> notes;  // for the run record (rootNotes)
        std::vector<std::string> problems;
        std::optional<std::string> note;  // a hint, no problem
        bool outOfSpace = false;          // an output could not be written for want of space
    };
    // The stack in hand is complete: its rows, and its picture and label volume written. A
    // stack whose file ends before its last page or loops back (`chain`) gets none of them: its
    // roots' configurations could be those of a part of them.
    End finish(const BatchItem& item, PageChain chain);

    // The stack in hand, not complete yet (null when there is none), and how many of its
    // slices have rows held.
    const BatchItem* incomplete() const { return current; }
    std::size_t slicesHeld() const { return heldRows.size(); }

private:
    // The slice's canal labels into the label volume, the slices passed over before it empty.
    void addLabels(int slice, const cv::Mat& canals);
    // The rows of the roots' levels in the levels' table.
    std::string levelRows(const BatchItem& item, const std::vector<RootConfiguration>& roots,
                          const std::vector<CanalRun>& canals) const;

    const BatchOptions& options;
    const BatchItem* current = nullptr;
    std::vector<std::pair<int, std::string>> heldRows;  // by slice
    std::optional<CanalTracker> tracker;
    std::optional<LabelVolume> volume;  // with --masks
    int slicesWithTeethLeftOut = 0;
};

}  // namespace quendra
