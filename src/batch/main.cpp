// quendra-batch: the window's analysis over many pictures and videos, without a display.

#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>

#include "batch/BatchRun.h"
#include "io/StandardStreams.h"
#include "io/Utf8Text.h"

namespace {

// The text with the arguments it quotes made safe to show, line by line.
std::string shownLines(const std::string& text) {
    std::string shown;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start))
        shown += quendra::utf8Text(text.substr(start, end - start)) + "\n";
    return shown + quendra::utf8Text(text.substr(start));
}

}  // namespace

int main(int argc, char** argv) {
    // Every frame makes and frees buffers of megabytes. Above glibc's mmap threshold each of
    // them is mapped afresh and every one of its pages faulted in and zeroed by the kernel,
    // which with several workers also contend for the process's mappings: a run of 1000 x 1000
    // slices took twice as long. Taken from the heap and kept there, the buffers are reused;
    // the memory kept is what the workers held at once anyway.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    quendra::openMissingStandardStreams();
    // Progress into a pipe whose reader has gone (`| head -1`) must not end the run: the write
    // fails instead, and is dropped.
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit (ulimit -f) a write fails with EFBIG instead of ending the
    // process, and the run stops as on a full disk: whole rows, its record, no hidden file.
    std::signal(SIGXFSZ, SIG_IGN);
    const quendra::ParsedCommandLine parsed = quendra::parseBatchOptions({argv + 1, argv + argc});
    if (!parsed.options) {
        if (parsed.exitStatus == 0)
            std::cout << parsed.text << "\n";
        else
            std::cerr << "quendra-batch: " << shownLines(parsed.text) << "\n";
        return parsed.exitStatus;
    }
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    quendra::OwnErrorOutput messages;
    return quendra::runBatch(*parsed.options, messages.stream(), terminal);
}
