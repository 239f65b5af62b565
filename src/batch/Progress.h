#pragma once

// The progress of a batch run on standard error. On a terminal: one line, redrawn at most ten
// times a second, with the item in hand, the frames done, the current file and an estimate of
// the time left. Elsewhere (a log file, a pipe, a cluster's job output): a plain line per
// picture and per analysed video frame. Both count items alike: "[k/n]" is the k-th item (from
// 1) of n. Problems always get a line of their own.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace quendra {

// A message of the run on `log`, a line of its own, its file names made safe to show
// (utf8Text).
void say(std::ostream& log, const std::string& message);

class Progress {
public:
    enum class Style { Lines, Terminal, Quiet };
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    Progress(std::ostream& log, Style style, std::size_t items,
             Clock clock = &std::chrono::steady_clock::now);

    // The frames the run has to take, a picture counting one and a video its analysed frames
    // (from its header): the time left is told from these and the time per frame so far, and
    // not at all without them.
    void framesToTake(std::optional<std::size_t> frames);
    // Frame `frame` (-1 for a picture) of item `item` (from 0) was taken, by this run unless
    // `replayed`; `analysed` when it gave rows (an unreadable one gives none), `itemDone` when
    // it was the item's last. `word` names the frame: "frame", or a stack's "slice".
    void frameDone(std::size_t item, const std::string& path, int frame, const char* word,
                   bool analysed, bool itemDone, bool replayed = false);
    // Items and frames done before the run started (a resumed run).
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
    const Clock clock;
    const std::chrono::steady_clock::time_point start = clock();
    std::chrono::steady_clock::time_point lastDraw{};
    std::size_t itemsDone = 0, framesDone = 0, framesTaken = 0;
    std::optional<std::size_t> toTake;
    std::size_t currentItem = 0;
    std::string current;
    bool lineShown = false;
};

}  // namespace quendra
