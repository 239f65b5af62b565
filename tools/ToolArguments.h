#pragma once

// The command line of the generator tools: `--help` prints the usage, and an argument that
// starts with '-' is refused as a folder (it is an option the tool does not know, or a typo).

#include <cstdio>
#include <string_view>

namespace quendra {

// Whether argv holds between `least` and `most` folder arguments; prints the usage otherwise
// (to standard output for --help, where `exitStatus` becomes 0, else to standard error with 2).
inline bool toolArguments(int argc, char** argv, int least, int most, std::string_view usage,
                          int& exitStatus) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
            exitStatus = 0;
            return false;
        }
        if (arg.starts_with('-')) {
            std::fprintf(stderr, "unknown option %s (a folder starting with '-' is written ./%s)\n",
                         argv[i], argv[i]);
            exitStatus = 2;
            return false;
        }
    }
    const int given = argc - 1;
    if (given >= least && given <= most) return true;
    std::fprintf(stderr, "usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
    exitStatus = 2;
    return false;
}

}  // namespace quendra
