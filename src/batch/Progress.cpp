#include "batch/Progress.h"

#include <cmath>

#include "batch/BatchTable.h"

namespace quendra {

namespace {

std::string duration(double seconds) {
    const long s = std::lround(seconds);
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s / 60 % 60) + " min";
}

}  // namespace

Progress::Progress(std::ostream& l, Style s, std::size_t n) : log(l), style(s), items(n) {}

void Progress::alreadyDone(std::size_t doneItems, std::size_t doneFrames) {
    itemsDone = itemsAtStart = doneItems;
    framesDone = doneFrames;
}

void Progress::frameDone(std::size_t item, const std::string& path, int frame, int frameCount,
                         bool analysed, bool itemDone) {
    if (analysed) ++framesDone;
    if (itemDone) ++itemsDone;
    itemFraction = itemDone || frameCount <= 0 ? 0 : static_cast<double>(frame + 1) / frameCount;
    if (style == Style::Lines) {
        log << "[" << item + 1 << "/" << items << "] " << utf8Text(path);
        if (frame >= 0) log << " frame " << frame;
        log << "\n" << std::flush;
    }
    if (style == Style::Terminal) {
        current = utf8Text(path) + (frame >= 0 ? " frame " + std::to_string(frame) : "");
        draw(itemDone && itemsDone == items);
    }
}

void Progress::problem(const std::string& text) {
    clear();
    log << "quendra-batch: " << utf8Text(text) << "\n";
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
    if (style != Style::Terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw < std::chrono::milliseconds(100)) return;
    lastDraw = now;
    std::string line = "[" + std::to_string(itemsDone) + "/" + std::to_string(items) + "] " +
                       std::to_string(framesDone) + " frames  " + current;
    // What is left, at the pace of this run so far.
    const double done = static_cast<double>(itemsDone - itemsAtStart) + itemFraction;
    const double left = static_cast<double>(items - itemsDone) - itemFraction;
    const double seconds = std::chrono::duration<double>(now - start).count();
    if (done > 0 && left > 0) line += "  about " + duration(seconds * left / done) + " left";
    log << "\r\x1b[K" << line << std::flush;
    lineShown = true;
}

}  // namespace quendra
