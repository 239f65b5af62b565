#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quendra {

// The command line of quendra-batch.
struct BatchOptions {
    std::string classes;     // colour-class file, required
    int threshold = 70;      // canal colour distance
    int border = 20;         // ignored outer border, pixels
    int filter = 8;          // acceptance-ellipse scale in tenths (0..10)
    int classThreshold = 5;  // class threshold of the colour classification (1..10)
    int every = 1;           // analyse every n-th video frame
    int jobs = 0;            // inputs analysed at once; 0 = one per core
    std::optional<double> pxPerMm;
    std::string out = ".";   // folder of the pictures, texts, table and run record
    std::string csv;         // table; empty = results.csv in `out`
    bool overwrite = false;  // an existing table is replaced
    bool quiet = false;
    std::vector<std::string> inputs;
};

// The smallest and largest scale taken, pixels per millimetre.
inline constexpr double kMinPxPerMm = 0.01;
inline constexpr double kMaxPxPerMm = 100000;

// What parsing a command line ends in: options to run with, or a text to print and the exit
// status to end with (0 after --help and --version, 2 for a bad command line).
struct ParsedCommandLine {
    std::optional<BatchOptions> options;
    int exitStatus = 0;
    std::string text;  // help or version for standard output, else the error
};

// Parses argv[1..].
ParsedCommandLine parseBatchOptions(const std::vector<std::string>& args);

}  // namespace quendra
