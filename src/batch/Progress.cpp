#include "batch/Progress.h"

#include <cmath>

#include "io/Utf8Text.h"

namespace quendra {

namespace {

std::string duration(double seconds) {
    const long s = std::lround(seconds);
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s / 60 % 60) + " min";
}

}  // namespace

void say(std::ostream& log, const std::string& message) {
    log << "quendra-batch: " << utf8Text(message) << "\n";
}

Progress::Progress(std::ostream& l, Style s, std::size_t n, Clock c)
    : log(l), style(s), items(n), clock(std::move(c)) {}

void Progress::framesToTake(std::optional<std::size_t> frames) {
    toTake = frames;
}

void Progress::alreadyDone(std::size_t doneItems, std::size_t doneFrames) {
    itemsDone = doneItems;
    framesDone = doneFrames;
}

void Progress::frameDone(std::size_t item, const std::string& path, int frame, const char* word,
                         bool analysed, bool itemDone, bool replayed) {
    if (analysed) ++framesDone;
    if (itemDone) ++itemsDone;
    if (!replayed) ++framesTaken;
    currentItem = item;
    if (style == Style::Lines) {
        log << "[" << item + 1 << "/" << items << "] " << utf8Text(path);
        if (frame >= 0) log << " " << word << " " << frame;
        log << "\n" << std::flush;
    }
    if (style == Style::Terminal) {
        current = utf8Text(path) +
                  (frame >= 0 ? " " + std::string(word) + " " + std::to_string(frame) : "");
        draw(itemDone && itemsDone == items);
    }
}

void Progress::problem(const std::string& text) {
    clear();
    say(log, text);
    draw(true);
}

void Progress::finish() {
    if (style != Style::Terminal || !lineShown) return;
    draw(true);
    log << "\n" << std::flush;
    lineShown = false;
}

void Progress::clear() {
    if (lineShown) log << "\r\x1b[K";
    lineShown = false;
}

void Progress::draw(bool force) {
    if (style != Style::Terminal || current.empty()) return;
    const auto now = clock();
    if (!force && now - lastDraw < std::chrono::milliseconds(100)) return;
    lastDraw = now;
    std::string line = "[" + std::to_string(currentItem + 1) + "/" + std::to_string(items) + "] " +
                       std::to_string(framesDone) + " frames  " + current;
    // The frames still to take, at this run's time per frame so far.
    const double seconds = std::chrono::duration<double>(now - start).count();
    if (toTake && framesTaken > 0 && *toTake > framesTaken && seconds > 0)
        line += "  about " +
                duration(seconds / static_cast<double>(framesTaken) *
                         static_cast<double>(*toTake - framesTaken)) +
                " left";
    log << "\r\x1b[K" << line << std::flush;
    lineShown = true;
}

}  // namespace quendra
