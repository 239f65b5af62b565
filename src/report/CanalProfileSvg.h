#pragma once

// The picture of a stack: the canal count of every root along the slices, as SVG.
//
// Slice numbers (from 1, stack order) run across, the number of canals up, one step line per
// root in a colour of its own (Okabe and Ito's palette, told apart with colour blindness),
// each root's line lifted by a little more than the one before, so that roots with the same
// count stay visible side by side. The x axis names its coronal and apical end; the legend
// names each root with its slices, configuration and Vertucci type. A root's line shows the
// canals left after the noise (RootConfiguration::canalCounts), the legend the configuration
// read from them. The words are German, as those of the report that shows the picture.

#include <string>
#include <vector>

#include "analysis/CanalTracking.h"
#include "io/FileWriting.h"

namespace quendra {

// The picture of `roots` (as CanalTracker::roots gives them) of a stack of `slices` slices
// named `stack`; `apexFirst` as the configuration was read.
std::string canalProfileSvg(const std::string& stack, const std::vector<RootConfiguration>& roots,
                            int slices, bool apexFirst);

// Writes it to `path`, replacing an existing file only when all of it was written.
bool saveCanalProfileSvg(const std::string& path, const std::string& stack,
                         const std::vector<RootConfiguration>& roots, int slices, bool apexFirst,
                         Durability durability = Durability::Flushed);

}  // namespace quendra
