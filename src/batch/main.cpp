// quendra-batch: the window's analysis over many pictures and videos, without a display.

#include <iostream>

#include "batch/BatchRun.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options = quendra::parseBatchOptions({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "quendra-batch: " << error << "\n" << quendra::kBatchUsage;
        return 2;
    }
    if (options->help) {
        std::cout << quendra::kBatchUsage << "\n" << quendra::kBatchHelp;
        return 0;
    }
    return quendra::runBatch(*options, std::cerr);
}
