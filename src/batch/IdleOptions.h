#pragma once

// Options that the run's inputs give nothing to do: --window without a 16-bit stack,
// --min-canal-mm2 without any scale, --apex-first, --slice-mm and --levels-mm without any
// stack, --levels-mm for a stack without a slice distance or a scale (named once a stack).
// Such a run is not what its command line seems to ask for (a typo in a scale file, stacks
// left out of a folder), so each is named as a warning, on standard error and in run.json.

#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"

namespace quendra {

// A warning for each option given that has no effect on `items` (with their scales assigned).
std::vector<std::string> idleOptionWarnings(const BatchOptions& options,
                                            const std::vector<BatchItem>& items);

}  // namespace quendra
