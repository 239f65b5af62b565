#include "batch/StackListener.h"

#include "io/Utf8Text.h"

namespace quendra {

StackListener::StackListener(const BatchOptions& options, const std::vector<BatchItem>& i,
                             TableFile& s, TableFile& c, TableFile* l, RunProblems& r, Progress& p)
    : items(i),
      stacksTable(s),
      canalsTable(c),
      levelsTable(l),
      problems(r),
      progress(p),
      stacks(options) {}

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

// Writes the stack's roots, canals and levels, and gives its held rows, numbered, back to be
// written.
bool StackListener::completeStack(const WorkUnit& unit, UnitResult& result) {
    const BatchItem& item = items[unit.item];
    const StackResults::End end = stacks.finish(item, unit.chain);
    for (const std::string& problem : end.problems) problems.name(problem);
    if (end.note) progress.problem(*end.note);
    records.push_back({utf8Text(item.path), unit.frame, unit.window, end.notes});
    problems.record();
    result.rows = end.tableRows;
    const auto append = [&](TableFile* table, const std::string& rows) {
        return !table || rows.empty() || appendRows(*table, table->path().string(), rows, problems);
    };
    return !end.outOfSpace && append(&stacksTable, end.rows) &&
           append(&canalsTable, end.canalRows) && append(levelsTable, end.levelRows);
}

void StackListener::finish() {
    if (const BatchItem* stack = stacks.incomplete(); stack && stacks.slicesHeld() > 0)
        progress.problem(utf8Text(stack->path) +
                         ": stopped before its last slice; a stack's rows reach the table once "
                         "it is complete, so --resume analyses it again from its first slice");
    if (levelsTable && !levelsTable->sync())
        problems.name(levelsTable->path().string() + ": the table cannot be written");
}

}  // namespace quendra
