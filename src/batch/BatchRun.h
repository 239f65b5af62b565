#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"

namespace quendra {

struct BatchInput {
    std::string path;
    bool video;
};

// The files to analyse, in the order given, folders expanded to their pictures and videos
// sorted by name. Inputs that are neither are named in `problems`.
std::vector<BatchInput> collectInputs(const std::vector<std::string>& inputs,
                                      std::vector<std::string>& problems);

// A field quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

// Runs the whole batch; progress and problems go to `log`. Returns the exit status: 0 when
// every input was analysed, 1 when some could not be read or written.
int runBatch(const BatchOptions& options, std::ostream& log);

}  // namespace quendra
