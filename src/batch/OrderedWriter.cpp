#include "batch/OrderedWriter.h"

#include <cerrno>
#include <cstring>

namespace quendra {

OrderedWriter::OrderedWriter(const std::vector<BatchItem>& i, int e, TableFile& t, std::string name,
                             FrameQueue& q, std::ostream& l, bool quietly)
    : items(i), every(e), table(t), tableName(std::move(name)), queue(q), log(l), quiet(quietly) {}

void OrderedWriter::submit(const WorkUnit& unit, UnitResult result) {
    std::lock_guard lock(mutex);
    WorkUnit place = unit;
    place.picture.release();
    waiting.emplace(unit.seq, std::make_pair(std::move(place), std::move(result)));
    for (auto it = waiting.find(nextSeq); it != waiting.end(); it = waiting.find(nextSeq)) {
        if (!failed) write(it->second.first, it->second.second);
        waiting.erase(it);
        queue.written(nextSeq++);
    }
}

void OrderedWriter::write(const WorkUnit& unit, UnitResult& result) {
    const BatchItem& item = items[unit.item];
    if (!result.rows.empty() && !table.append(result.rows)) {
        failed = true;
        nameProblem(tableName + ": the table cannot be written (" + std::strerror(errno) +
                    "); the run stops, the table keeps every row before");
        queue.stop();
        return;
    }
    const bool unreadableFrame = unit.unreadable && unit.frame >= 0;
    if (unreadableItem != unit.item || !unreadableFrame || unit.frame != unreadableLast + every)
        flushUnreadable();
    if (unreadableFrame) {
        if (unreadableFirst < 0) unreadableFirst = unit.frame;
        unreadableItem = unit.item;
        unreadableLast = unit.frame;
    }
    for (const std::string& p : result.problems) nameProblem(p);
    if (!result.rows.empty()) ++counts.framesDone;
    if (unit.lastOfItem) {
        flushUnreadable();
        ++counts.itemsDone;
    }
    if (!quiet && (unit.lastOfItem || unit.frame >= 0)) {
        log << "[" << unit.item + 1 << "/" << items.size() << "] " << item.path;
        if (unit.frame >= 0) log << " frame " << unit.frame;
        log << "\n" << std::flush;
    }
}

void OrderedWriter::nameProblem(const std::string& problem) {
    counts.problems.push_back(problem);
    log << "quendra-batch: " << problem << "\n" << std::flush;
}

void OrderedWriter::flushUnreadable() {
    if (unreadableFirst < 0) return;
    const std::string& path = items[unreadableItem].path;
    if (unreadableFirst == unreadableLast)
        nameProblem(path + ": frame " + std::to_string(unreadableFirst) + " cannot be read");
    else
        nameProblem(path + ": frames " + std::to_string(unreadableFirst) + " to " +
                    std::to_string(unreadableLast) + " cannot be read");
    unreadableFirst = unreadableLast = -1;
}

RunOutcome OrderedWriter::finish() {
    std::lock_guard lock(mutex);
    flushUnreadable();
    return counts;
}

}  // namespace quendra
