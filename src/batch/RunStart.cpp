#include "batch/RunStart.h"

#include <set>
#include <system_error>
#include <tuple>
#include <unordered_set>

#include "batch/Progress.h"
#include "batch/StackResults.h"
#include "io/FileReading.h"
#include "io/FileWriting.h"
#include "io/Utf8Text.h"
#include "results/ResultsTable.h"
#include "results/StacksTable.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

// The largest run record and table a resume reads: a record names every input, a table holds
// a few rows of some 200 bytes for each analysed frame.
constexpr std::uintmax_t kMaxRecordBytes = std::uintmax_t{256} << 20;
constexpr std::uintmax_t kMaxTableBytes = std::uintmax_t{4} << 30;

// Removes the hidden temporary files that a run of these items killed outright left behind:
// a movie in hand, the record. No other run writes them while this one holds its lock.
void removeLeftovers(const std::vector<BatchItem>& items, const fs::path& record) {
    const RunOutputs outputs(items);
    std::set<fs::path> folders{record.parent_path()};
    for (const BatchItem& item : items) folders.insert(item.outputBase.parent_path());
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string target = temporaryTargetName(entry.path().filename().string());
            if (!target.empty() && (outputs.writerOf(folder / target) || folder / target == record))
                fs::remove(entry.path(), ec);
        }
    }
}

// Opens the stacks' table and starts it: with its header, or when resuming with the rows of
// the stacks finished before `resumeAt`. The problem that stops the run, or nothing.
std::optional<std::string> startStacksTable(TableFile& stacks, const fs::path& path,
                                            MadeForTheRun& made,
                                            const std::vector<BatchItem>& items,
                                            const ResumePoint* resumeAt,
                                            const std::string& header) {
    std::unordered_set<std::string> finished;
    for (std::size_t i = 0; resumeAt && i < resumeAt->item; ++i)
        if (items[i].kind == MediaKind::Stack) finished.insert(utf8Text(items[i].path));
    std::string start = header;
    if (!finished.empty()) {
        const std::string cannot = path.string() + ": cannot be resumed: ";
        const FileRead read = readRegularFile(path.string(), kMaxTableBytes);
        if (read.status != FileReadStatus::Ok)
            return cannot + describeFileRead(read, kMaxTableBytes) +
                   "; it holds the roots of the stacks the run resumed finished";
        const auto kept = stackRowsKept(read.bytes, finished, header);
        if (!kept) return cannot + "its header is not that of a stacks' table";
        start = *kept;
    }
    made.aboutToCreate(path);
    if (!stacks.open(path) || !stacks.truncate(0) || !stacks.append(start))
        return path.string() + ": the stacks' table cannot be written";
    return std::nullopt;
}

// Makes the output folders, takes the folder's lock and opens the table, locked.
std::optional<std::string> openTable(RunStart& start, MadeForTheRun& made,
                                     const BatchOptions& options, const RunFiles& files,
                                     std::ostream& log) {
    std::error_code ec = made.makeFolders(options.out);
    if (!ec) ec = made.makeFolders(fs::absolute(files.table).parent_path());
    if (ec) return options.out + ": the output folder cannot be made or written: " + ec.message();
    made.aboutToCreate(files.lock);
    std::string lockNote;
    if (const auto p = start.folderLock.acquire(files.lock, lockNote))
        return options.out + ": " + *p;
    if (!lockNote.empty()) say(log, lockNote);
    made.aboutToCreate(files.table);
    if (!start.table.open(files.table))
        return files.table.string() + ": the table cannot be written";
    if (!start.table.lock())
        return files.table.string() + ": another quendra-batch run is writing this table";
    return std::nullopt;
}

// Reads the run --resume continues: its record, which must describe this run's settings and
// inputs, and its table, which tells where to go on. The stacks it finished and the problems
// it named that this run will not name again are kept in `start`.
std::optional<std::string> resumeEarlierRun(RunStart& start, const BatchOptions& options,
                                            const std::vector<BatchItem>& items,
                                            const RunFiles& files, const std::string& header,
                                            std::ostream& log) {
    const std::string cannot = files.table.string() + ": cannot be resumed: ";
    std::error_code ec;
    if (!fs::exists(files.record, ec))
        return cannot + "there is no record of the earlier run (" + files.record.string() +
               ") to tell its settings and inputs by; --overwrite starts afresh";
    const FileRead recordRead = readRegularFile(files.record.string(), kMaxRecordBytes);
    if (recordRead.status != FileReadStatus::Ok)
        return cannot + files.record.string() + ": " +
               describeFileRead(recordRead, kMaxRecordBytes);
    const std::string& record = recordRead.bytes;
    std::string differences;
    for (const std::string& d : runDifferences(record, options, items, start.sources))
        differences += (differences.empty() ? "" : "; ") + d;
    if (!differences.empty()) return cannot + differences;
    const std::vector<std::string> earlier = problemsOf(record);
    const FileRead rows = readRegularFile(files.table.string(), kMaxTableBytes);
    if (rows.status != FileReadStatus::Ok) return cannot + describeFileRead(rows, kMaxTableBytes);
    std::string problem;
    const auto point = findResumePoint(rows.bytes, header, items, options.every, earlier, problem);
    if (!point) return cannot + problem;
    start.resumeAt = *point;
    for (StackRecord& s : stacksOf(record))
        for (std::size_t i = 0; i < start.resumeAt.item; ++i)
            if (utf8Text(items[i].path) == s.stack) start.stacksBefore.push_back(std::move(s));
    removeLeftovers(items, files.record);
    for (const std::string& p :
         carriedProblems(earlier, items, start.resumeAt.item, files.table.string())) {
        say(log, p + " (named by the run resumed)");
        start.named.push_back(p);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> startRun(RunStart& start, MadeForTheRun& made,
                                    const BatchOptions& options,
                                    const std::vector<BatchItem>& items, bool withStacks,
                                    const RunFiles& files, std::ostream& log) {
    if (const auto p = openTable(start, made, options, files, log)) return p;
    start.sources = runSourcesOf(options, items);
    const std::string header = tableHeader(options.millimetres());
    const bool resuming = start.table.size() > 0 && options.resume;
    if (resuming) {
        if (const auto p = resumeEarlierRun(start, options, items, files, header, log)) return p;
    } else if (start.table.size() > 0 && !options.overwrite) {
        return files.table.string() +
               ": the table of an earlier run is there; --overwrite replaces it, "
               "--resume continues it";
    }
    // Every shard of a run with stacks writes its stacks' table, so that the shards' tables
    // make the run's whatever the shards hold.
    start.hasStacks = withStacks;
    start.hasLevels = withStacks && !options.levelsMm.empty();
    if (withStacks) {
        for (auto [file, path, first] :
             {std::tuple{&start.stacksTable, files.stacks, stacksTableHeader()},
              std::tuple{&start.canalsTable, files.canals, canalsTableHeader()},
              std::tuple{&start.levelsTable, files.levels, levelsTableHeader()}})
            if (file != &start.levelsTable || start.hasLevels)
                if (const auto p = startStacksTable(*file, path, made, items,
                                                    resuming ? &start.resumeAt : nullptr, first))
                    return p;
    }
    const std::size_t keep = start.resumeAt.keepBytes;
    if (keep == 0 ? !start.table.truncate(0) || !start.table.append(header)
                  : !start.table.truncate(keep))
        return files.table.string() + ": the table cannot be written";
    return std::nullopt;
}

}  // namespace quendra
