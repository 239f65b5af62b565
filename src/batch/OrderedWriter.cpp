#include "batch/OrderedWriter.h"

#include <cerrno>
#include <cstring>

#include "io/Utf8Text.h"

namespace quendra {

bool appendRows(TableFile& file, const std::string& name, const std::string& rows,
                RunProblems& problems) {
    const bool written = file.append(rows);
    const int error = errno;
    // Rows into a deleted file are written without an error, and lost.
    const bool removed = file.removed();
    if (written && !removed) return true;
    problems.name(removed ? removedTableProblem(name)
                          : name + ": the table cannot be written (" + std::strerror(error) +
                                "); the run stops, the table keeps every row before");
    return false;
}

OrderedWriter::OrderedWriter(const std::vector<BatchItem>& i, TableFile& t, std::string name,
                             FrameQueue& q, Progress& p, RunProblems& r,
                             std::vector<FrameListener*> l)
    : items(i),
      table(t),
      tableName(std::move(name)),
      queue(q),
      progress(p),
      problems(r),
      listeners(std::move(l)) {}

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

// The problems go first, and reach the record before the rows (RunProblems.h).
void OrderedWriter::write(const WorkUnit& unit, UnitResult& result) {
    problems.frame(unit, result.problems);
    const bool analysed = !result.rows.empty();
    for (FrameListener* listener : listeners)
        if (!listener->beforeRows(unit, result)) return stop();
    if (!result.rows.empty()) problems.record();
    if (!result.rows.empty() && !appendRows(table, tableName, result.rows, problems)) return stop();
    for (FrameListener* listener : listeners) listener->afterRows(unit, result);
    if (analysed) ++done.frames;
    if (unit.lastOfItem) ++done.items;
    if (!unit.replay || unit.lastOfItem)
        progress.frameDone(unit.item, items[unit.item].path, unit.replay ? -1 : unit.frame,
                           frameWord(items[unit.item]), analysed, unit.lastOfItem, unit.replay);
}

// A table that cannot be written stops the run.
void OrderedWriter::stop() {
    failed = true;
    queue.stop();
}

OrderedWriter::Done OrderedWriter::finish() {
    std::lock_guard lock(mutex);
    problems.finish();
    for (FrameListener* listener : listeners) {
        listener->finish();
        done.frames -= listener->framesHeld();
    }
    progress.finish();
    return done;
}

}  // namespace quendra
