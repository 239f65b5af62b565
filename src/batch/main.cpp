// quendra-batch: the window's analysis over many pictures and videos, without a display.

#include <unistd.h>

#include <iostream>

#include "batch/BatchRun.h"

int main(int argc, char** argv) {
    const quendra::ParsedCommandLine parsed = quendra::parseBatchOptions({argv + 1, argv + argc});
    if (!parsed.options) {
        (parsed.exitStatus == 0 ? std::cout : std::cerr)
            << (parsed.exitStatus == 0 ? "" : "quendra-batch: ") << parsed.text << "\n";
        return parsed.exitStatus;
    }
    return quendra::runBatch(*parsed.options, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
