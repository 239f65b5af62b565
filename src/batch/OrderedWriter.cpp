#include "batch/OrderedWriter.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "io/Utf8Text.h"

namespace quendra {

OrderedWriter::OrderedWriter(const std::vector<BatchItem>& i, int e, TableFile& t, std::string name,
                             FrameQueue& q, Progress& p, ProblemsNamed n, StackResults* s,
                             TableFile* st)
    : items(i),
      every(e),
      table(t),
      tableName(std::move(name)),
      queue(q),
      progress(p),
      named(std::move(n)),
      stacks(s),
      stacksTable(st) {}

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

// The problems go first, and reach the record before the next rows reach the table: a run
// killed outright names in its record every problem before the last row of its table, which
// is what a resumed run does not do again and must name by the record. (Problems with no rows
// after them are of items a resumed run does again.)
void OrderedWriter::write(const WorkUnit& unit, UnitResult& result) {
    const bool unreadableFrame = unit.unreadable && unit.frame >= 0;
    const int step = frameGridOf(items[unit.item].kind, 0, every).step;
    if (unreadableItem != unit.item || !unreadableFrame || unit.frame != unreadableLast + step ||
        unit.reason != unreadableReason)
        flushUnreadable();
    if (unreadableFrame) {
        if (unreadableFirst < 0) unreadableFirst = unit.frame;
        unreadableReason = unit.reason;
        unreadableItem = unit.item;
        unreadableLast = unit.frame;
    }
    if (unit.lastOfItem) flushUnreadable();
    for (const std::string& p : result.problems) nameProblem(p);
    const bool analysed = !result.rows.empty();
    if (items[unit.item].kind == MediaKind::Stack && !followStack(unit, result)) return;
    if (!result.rows.empty()) recordProblems();
    if (!result.rows.empty() && !append(table, tableName, result.rows)) return;
    if (!result.movieFrame.empty()) addMovieFrame(unit, result);
    if (analysed) ++counts.framesDone;
    if (unit.lastOfItem) {
        closeMovie();
        ++counts.itemsDone;
    }
    if (!unit.replay || unit.lastOfItem)
        progress.frameDone(unit.item, items[unit.item].path, unit.replay ? -1 : unit.frame,
                           frameWord(items[unit.item]), analysed, unit.lastOfItem, unit.replay);
}

// Passes a stack's slice on to its tracker, which holds its rows; at the stack's end writes its
// roots and canals, and gives the held rows, numbered, back to be written. False when the
// stacks' or canals' table cannot be written, which stops the run.
bool OrderedWriter::followStack(const WorkUnit& unit, UnitResult& result) {
    const BatchItem& item = items[unit.item];
    if (unit.frame >= 0)
        if (const auto problem = stacks->addSlice(item, unit.frame, result.section,
                                                  result.teethLeftOut, result.rows))
            nameProblem(*problem);
    if (!unit.lastOfItem || unit.frame < 0) return true;
    const StackResults::End end = stacks->finish(item, unit.chain);
    if (end.problem) nameProblem(*end.problem);
    if (end.note) progress.problem(*end.note);
    counts.stacks.push_back({utf8Text(item.path), unit.frame, unit.window, end.notes});
    recordProblems();
    result.rows = end.tableRows;
    TableFile* canals = stacks->canalsTable();
    return (end.rows.empty() || append(*stacksTable, stacksTable->path().string(), end.rows)) &&
           (end.canalRows.empty() || !canals ||
            append(*canals, canals->path().string(), end.canalRows));
}

// Appends rows to the table or the stacks' table; a file that cannot be written stops the run.
bool OrderedWriter::append(TableFile& file, const std::string& name, const std::string& rows) {
    const bool written = file.append(rows);
    const int error = errno;
    // Rows into a deleted file are written without an error, and lost.
    const bool removed = file.removed();
    if (written && !removed) return true;
    failed = true;
    nameProblem(removed ? removedTableProblem(name)
                        : name + ": the table cannot be written (" + std::strerror(error) +
                              "); the run stops, the table keeps every row before");
    queue.stop();
    return false;
}

void OrderedWriter::addMovieFrame(const WorkUnit& unit, const UnitResult& result) {
    const std::string path = outputPath(items[unit.item], Output::Movie).string();
    if (movieItem != unit.item) {
        closeMovie();
        movieItem = unit.item;
        movieFailed = !movie.open(path, result.frameSize, unit.rate / every);
        if (movieFailed) nameProblem(path + ": cannot be written");
        if (unit.reportedRate != unit.rate) {
            std::ostringstream note;
            note << items[unit.item].path << ": the video "
                 << (unit.reportedRate > 0 ? "claims " : "gives no rate, ");
            if (unit.reportedRate > 0) note << unit.reportedRate << " frames a second, ";
            note << "its movie is made for " << unit.rate << " (" << VideoFrames::kMinRate << " to "
                 << VideoFrames::kMaxRate << " are kept)";
            progress.problem(note.str());
        }
    }
    if (movieFailed) return;
    if (result.frameSize != movie.frameSize()) {
        nameProblem(path + ": frame " + std::to_string(unit.frame) +
                    " has another size than the first; the movie leaves it out");
    } else if (!movie.addFrame(result.movieFrame)) {
        movieFailed = true;
        nameProblem(path + ": cannot be written");
    }
}

void OrderedWriter::closeMovie() {
    if (!movie.isOpen()) return;
    if (!movie.close() && !movieFailed)
        nameProblem(outputPath(items[*movieItem], Output::Movie).string() + ": cannot be written");
    movieFailed = false;
}

// Gives the problems named since the last time to the record, before rows follow them.
void OrderedWriter::recordProblems() {
    if (counts.problems.size() == problemsRecorded) return;
    problemsRecorded = counts.problems.size();
    named(counts.problems);
}

void OrderedWriter::nameProblem(const std::string& problem) {
    counts.problems.push_back(problem);
    progress.problem(problem);
}

void OrderedWriter::flushUnreadable() {
    if (unreadableFirst < 0) return;
    const std::string& path = items[unreadableItem].path;
    const std::string word = frameWord(items[unreadableItem]);
    const std::string why = unreadableReason.empty() ? "" : " (" + unreadableReason + ")";
    if (unreadableFirst == unreadableLast)
        nameProblem(path + ": " + word + " " + std::to_string(unreadableFirst) + " cannot be read" +
                    why);
    else
        nameProblem(path + ": " + word + "s " + std::to_string(unreadableFirst) + " to " +
                    std::to_string(unreadableLast) + " cannot be read" + why);
    unreadableFirst = unreadableLast = -1;
    unreadableReason.clear();
}

RunOutcome OrderedWriter::finish() {
    std::lock_guard lock(mutex);
    flushUnreadable();
    closeMovie();
    progress.finish();
    return counts;
}

}  // namespace quendra
