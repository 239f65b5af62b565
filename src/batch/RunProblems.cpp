#include "batch/RunProblems.h"

namespace quendra {

RunProblems::RunProblems(const std::vector<BatchItem>& i, int e, Progress& p, Recorded r)
    : items(i), every(e), progress(p), recorded(std::move(r)) {}

void RunProblems::name(const std::string& problem) {
    problems.push_back(problem);
    progress.problem(problem);
}

void RunProblems::frame(const WorkUnit& unit, const std::vector<std::string>& own) {
    const bool unreadableFrame = unit.unreadable && unit.frame >= 0;
    const int step = frameGridOf(items[unit.item].kind, 0, every).step;
    if (unreadableItem != unit.item || !unreadableFrame || unit.frame != unreadableLast + step ||
        unit.reason != unreadableReason)
        nameUnreadable();
    if (unreadableFrame) {
        if (unreadableFirst < 0) unreadableFirst = unit.frame;
        unreadableReason = unit.reason;
        unreadableItem = unit.item;
        unreadableLast = unit.frame;
    }
    if (unit.lastOfItem) nameUnreadable();
    for (const std::string& p : own) name(p);
}

void RunProblems::record() {
    if (problems.size() == problemsRecorded) return;
    problemsRecorded = problems.size();
    recorded(problems);
}

void RunProblems::finish() {
    nameUnreadable();
}

void RunProblems::nameUnreadable() {
    if (unreadableFirst < 0) return;
    const std::string& path = items[unreadableItem].path;
    const std::string word = frameWord(items[unreadableItem]);
    const std::string why = unreadableReason.empty() ? "" : " (" + unreadableReason + ")";
    if (unreadableFirst == unreadableLast)
        name(path + ": " + word + " " + std::to_string(unreadableFirst) + " cannot be read" + why);
    else
        name(path + ": " + word + "s " + std::to_string(unreadableFirst) + " to " +
             std::to_string(unreadableLast) + " cannot be read" + why);
    unreadableFirst = unreadableLast = -1;
    unreadableReason.clear();
}

}  // namespace quendra
