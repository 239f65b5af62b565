#pragma once

// Where a stack's canals are, slice by slice: at fixed distances from each root's apex, as
// micro-CT studies tabulate a canal's cross-section (1, 2, 3, 4, 5 mm from the apex), and every
// slice's canal labels as the canals' numbers (for a label volume, io/LabelVolume.h).
//
// A level d mm lies round(d / sliceMm) slices from the root's apical end slice toward the crown:
// the apical end is the root's lastSlice when the stack runs from the crown, its firstSlice when
// it runs from the apex (RootConfiguration), and a level of less than half a slice is that slice
// itself. A level exactly half a slice past a slice rounds away from the apex; the quotient is
// taken to a billionth of a slice first, so that decimals that are halves on paper but not in
// binary (0.15 mm at 0.1 mm, 1.4999999999999998 slices) count as halves. A level that lies
// beyond the root's coronal end (its other end slice) has no slice.

#include <optional>
#include <string>
#include <vector>

#include "analysis/CanalTracking.h"

namespace quendra {

// The most levels one run may ask for.
inline constexpr int kMaxLevels = 100;

// A canal in the slice of a level: its number (CanalRun::number) and its label in that slice
// (SliceSection::canals).
struct CanalAtLevel {
    int canal = 0;
    int label = 0;
};

struct RootLevel {
    double mm = 0;                     // the distance from the apex asked for
    std::optional<int> slice;          // from 1, stack order; none beyond the coronal end
    std::vector<CanalAtLevel> canals;  // the root's canals in that slice, by number
};

// Each level of `levelsMm` (positive, finite) of `root`, in the order given, with the root's
// canals among `canals` (those of the stack, CanalTracker::roots). `sliceMm`: the distance of
// neighbouring slices, positive and finite. Throws std::invalid_argument for input that breaks
// these rules or a root without its slices.
std::vector<RootLevel> rootLevels(const RootConfiguration& root,
                                  const std::vector<CanalRun>& canals,
                                  const std::vector<double>& levelsMm, double sliceMm,
                                  bool apexFirst);

// The levels of an option's text, "1,2,3,4,5": millimetres from the apex, comma-separated, each
// a positive finite number given once, at most kMaxLevels; spaces around an item are allowed.
// `error` names what is wrong ("level 3 is empty", ...), empty when nothing is; `mm` holds the
// levels in the order given only then.
struct ParsedLevels {
    std::vector<double> mm;
    std::string error;
};
ParsedLevels parseLevels(const std::string& text);

// For slice s (from 1, stack order) and its label l, numbers[s - 1][l]: the number of the canal
// the label is part of, or 0 for a label that is part of none (the pulp chamber, noise, a
// region that is no root). A list for each of the stack's `slices`, as long as the slice's
// largest canal label needs (empty for a slice without canals). Throws std::invalid_argument
// for a section outside the stack.
std::vector<std::vector<int>> canalNumbersBySlice(const std::vector<CanalRun>& canals, int slices);

}  // namespace quendra
