#pragma once

// The progress of a batch run on standard error. On a terminal: one line, redrawn at most ten
// times a second, with the items and frames done, the current file and an estimate of the time
// left. Elsewhere (a log file, a pipe, a cluster's job output): a plain line per picture and per
// analysed video frame. Problems always get a line of their own.

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace quendra {

class Progress {
public:
    enum class Style { Lines, Terminal, Quiet };

    Progress(std::ostream& log, Style style, std::size_t items);

    // Frame `frame` (-1 for a picture) of item `item` (from 0) was taken; `analysed` when it
    // gave rows (an unreadable one gives none), `itemDone` when it was the item's last;
    // `frameCount` the video's frames, for the estimate.
    void frameDone(std::size_t item, const std::string& path, int frame, int frameCount,
                   bool analysed, bool itemDone);
    // Items taken as done before the run started (a resumed run).
    void alreadyDone(std::size_t items, std::size_t frames);
    // Named in every style, quiet included.
    void problem(const std::string& text);
    // Ends the terminal line.
    void finish();

private:
    void draw(bool force);
    void clear();

    std::ostream& log;
    const Style style;
    const std::size_t items;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw{};
    std::size_t itemsDone = 0, framesDone = 0, itemsAtStart = 0;
    double itemFraction = 0;  // how far into the current item
    std::string current;
    bool lineShown = false;
};

}  // namespace quendra
