// quendra-batch: the window's analysis over many pictures and videos, without a display.

#include <unistd.h>

#include <csignal>
#include <iostream>

#include "batch/BatchRun.h"
#include "batch/BatchTable.h"
#include "io/StandardStreams.h"

int main(int argc, char** argv) {
    quendra::openMissingStandardStreams();
    // Progress into a pipe whose reader has gone (`| head -1`) must not end the run: the write
    // fails instead, and is dropped.
    std::signal(SIGPIPE, SIG_IGN);
    const quendra::ParsedCommandLine parsed = quendra::parseBatchOptions({argv + 1, argv + argc});
    if (!parsed.options) {
        if (parsed.exitStatus == 0)
            std::cout << parsed.text << "\n";
        else
            std::cerr << "quendra-batch: " << quendra::utf8Text(parsed.text) << "\n";
        return parsed.exitStatus;
    }
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    quendra::OwnErrorOutput messages;
    return quendra::runBatch(*parsed.options, messages.stream(), terminal);
}
