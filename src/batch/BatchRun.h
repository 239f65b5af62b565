#pragma once

#include <ostream>

#include "batch/BatchOptions.h"

namespace quendra {

// Runs the whole batch; progress and problems go to `log`, as a single redrawn line when
// `terminal`. Everything is checked before any output is touched: the colour classes, the
// scale file, the inputs, the output folder, the table (which must not be an input or the
// class file, and is replaced only with --overwrite or continued with --resume) and that no
// other run writes there. Returns the exit status: 0 when every input was analysed and every
// output written, 1 when something was not done (each named in `log`), 128 + the signal
// number when SIGINT, SIGTERM or SIGHUP stopped the run.
int runBatch(const BatchOptions& options, std::ostream& log, bool terminal = false);

}  // namespace quendra
