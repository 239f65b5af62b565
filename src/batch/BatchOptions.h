#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quendra {

// The command line of quendra-batch.
struct BatchOptions {
    std::string classes;          // colour-class file, required
    int threshold = 70;           // canal colour distance
    int border = 20;              // ignored outer border, pixels
    int filter = 8;               // acceptance-ellipse scale in tenths (0..10)
    int classThreshold = 5;       // class threshold of the colour classification (1..10)
    int every = 1;                // analyse every n-th video frame
    int jobs = 0;                 // inputs analysed at once; 0 = one per core
    std::optional<double> pxPerMm;
    std::string out = ".";        // folder of the pictures, texts, table and run record
    std::string csv;              // table; empty = results.csv in `out`
    bool quiet = false;
    bool help = false;
    std::vector<std::string> inputs;
};

// Parses argv[1..]; on a bad command line returns nothing and sets `error` to the reason.
std::optional<BatchOptions> parseBatchOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kBatchUsage;
extern const char* const kBatchHelp;

}  // namespace quendra
