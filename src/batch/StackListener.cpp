#include "batch/StackListener.h"

#include "io/Utf8Text.h"

namespace quendra {

StackListener::StackListener(const BatchOptions& options, const std::vector<BatchItem>& i,
                             TableFile& s, TableFile& c, RunProblems& r, Progress& p)
    : items(i), stacksTable(s), canalsTable(c), problems(r), progress(p), stacks(options) {}

bool StackListener::beforeRows(const WorkUnit& unit, UnitResult& result) {
    const BatchItem& item = items[unit.item];
    if (item.kind != MediaKind::Stack) return true;
    if (unit.frame >= 0)
        if (const auto problem =
                stacks.addSlice(item, unit.frame, result.section, result.teethLeftOut, result.rows))
            problems.name(*problem);
    if (!unit.lastOfItem || unit.frame < 0) return true;
    return completeStack(unit, result);
}

// Writes the stack's roots and canals, and gives its held rows, numbered, back to be written.
bool StackListener::completeStack(const WorkUnit& unit, UnitResult& result) {
    const BatchItem& item = items[unit.item];
    const StackResults::End end = stacks.finish(item, unit.chain);
    if (end.problem) problems.name(*end.problem);
    if (end.note) progress.problem(*end.note);
    records.push_back({utf8Text(item.path), unit.frame, unit.window, end.notes});
    problems.record();
    result.rows = end.tableRows;
    return (end.rows.empty() ||
            appendRows(stacksTable, stacksTable.path().string(), end.rows, problems)) &&
           (end.canalRows.empty() ||
            appendRows(canalsTable, canalsTable.path().string(), end.canalRows, problems));
}

}  // namespace quendra
