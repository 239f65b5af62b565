#pragma once

#include <ostream>

#include "batch/BatchOptions.h"

namespace quendra {

// Runs the whole batch; progress and problems go to `log`, as a single redrawn line when
// `terminal`. Everything is checked before any output is touched: the colour classes, the
// scale file, the inputs, the output folder, the table (which replaces no file the run reads,
// and is replaced only with --overwrite or continued with --resume, a resume only of the run
// its record describes) and that no other run writes there; a refused run leaves nothing it
// made behind. Returns the exit status: 0 when every input was analysed and every output
// written, 1 when something was not done or the run was refused (each named in `log`),
// 128 + the signal number when SIGINT, SIGTERM or SIGHUP stopped the run. Never throws.
int runBatch(const BatchOptions& options, std::ostream& log, bool terminal = false);

}  // namespace quendra
