#include "batch/BatchRun.h"

#include <sched.h>

#include <algorithm>
#include <array>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "batch/BatchInputs.h"
#include "batch/BatchTable.h"
#include "batch/FrameAnalyser.h"
#include "batch/FrameQueue.h"
#include "batch/IdleOptions.h"
#include "batch/MovieListener.h"
#include "batch/OrderedWriter.h"
#include "batch/Progress.h"
#include "batch/Resume.h"
#include "batch/RunChecks.h"
#include "batch/RunGuards.h"
#include "batch/RunProblems.h"
#include "batch/RunRecord.h"
#include "batch/ScaleFile.h"
#include "batch/StackListener.h"
#include "batch/StackResults.h"
#include "colour/ColorClassifier.h"
#include "io/DicomSeries.h"
#include "io/FileReading.h"
#include "io/FileWriting.h"
#include "io/MediaFiles.h"
#include "io/SliceStack.h"
#include "report/RunReport.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

std::string describe(const ClassFileRead& read) {
    const std::string record = "not a colour-class file: record " + std::to_string(read.record);
    switch (read.status) {
        case ClassFileStatus::Empty:
            return "the colour-class file holds no colour classes";
        case ClassFileStatus::PartialRecord:
            return record + " has " + std::to_string(read.value) +
                   " of its 4 bytes (the size is no whole number of records)";
        case ClassFileStatus::UnknownClass:
            return record + " has the class " + std::to_string(read.value) +
                   ", which the format does not have (1 enamel, 2 gum, 255 both)";
        case ClassFileStatus::TooLarge:
            return "too large for a colour-class file (more than 16777216 records)";
        default:
            return "the colour-class file cannot be read";
    }
}

// What a resource failure was, in the words a user can act on.
std::string reasonOf(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "out of memory";
    if (const auto* s = dynamic_cast<const std::system_error*>(&e)) return s->code().message();
    return e.what();
}

// The largest run record and table a resume reads: a record names every input, a table holds
// a few rows of some 200 bytes for each analysed frame.
constexpr std::uintmax_t kMaxRecordBytes = std::uintmax_t{256} << 20;
constexpr std::uintmax_t kMaxTableBytes = std::uintmax_t{4} << 30;

// A message of the run, its file names made safe to show (utf8Text).
void say(std::ostream& log, const std::string& message) {
    log << "quendra-batch: " << utf8Text(message) << "\n";
}

// The cores this process may run on (a job scheduler's share of the machine), at least one.
int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

// A stack's or DICOM file's own scale (FileScale.h) where the command line gives none, and its
// slice distance unless --slice-mm gives one; pixels that are not square are named.
void takeFileScale(BatchItem& item, const BatchOptions& o, std::ostream& log) {
    item.sliceMm = o.sliceMm;
    if (item.kind != MediaKind::Stack && !isDicomFile(item.path)) return;
    const FileScale own = SliceStack(item.path).fileScale();
    if (!own.problem.empty() && !item.pxPerMm) say(log, item.path + ": " + own.problem);
    std::string source;
    if (!item.pxPerMm && own.pxPerMm) item.pxPerMm = own.pxPerMm, source = "px_per_mm";
    if (!item.sliceMm && own.sliceMm) item.sliceMm = own.sliceMm, source += " slice_mm";
    if (source.empty()) return;
    if (source.front() == ' ') source.erase(0, 1);
    item.scaleSource += (item.scaleSource.empty() ? "" : "; ") + own.source + ": " + source;
}

// Gives every item its scale: its row of the scale file, else --px-per-mm, else its file's. Rows
// that serve no input are named; returns false, with `problem` set, when a row fits several inputs.
// Rows left out are named in `warnings`.
bool assignScales(std::vector<BatchItem>& items, const BatchOptions& o, std::ostream& log,
                  std::string& problem, std::vector<std::string>& warnings) {
    std::vector<ScaleRow> rows;
    if (!o.scale.empty()) {
        auto read = readScaleFile(o.scale, problem, warnings);
        if (!read) return false;
        rows = std::move(*read);
    }
    const auto matched = matchScales(rows, items, o.scale, problem);
    if (!matched) return false;
    std::size_t without = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].pxPerMm = (*matched)[i] ? std::optional((*matched)[i]->pxPerMm) : o.pxPerMm;
        items[i].scaleSource = (*matched)[i] ? "--scale" : o.pxPerMm ? "--px-per-mm" : "";
        takeFileScale(items[i], o, log);
        without += !items[i].pxPerMm;
    }
    for (const ScaleRow& row : rows)
        if (std::find(matched->begin(), matched->end(), &row) == matched->end())
            say(log, o.scale + ": row " + std::to_string(row.row) + " (" + row.name +
                         ") matches no input");
    if (o.millimetres() && without > 0)
        say(log,
            std::to_string(without) + " inputs have no scale; their millimetre columns stay empty");
    return true;
}

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

// The frames a run from `start` has to take, as the videos' headers and the stacks give them.
std::size_t framesToTake(const std::vector<BatchItem>& items, StartAt start, int every) {
    std::size_t frames = 0;
    for (std::size_t i = start.item; i < items.size(); ++i) {
        if (items[i].kind == MediaKind::Picture) {
            ++frames;
            continue;
        }
        FrameGrid grid = frameGridOf(items[i], every);
        if (i == start.item) grid.first = std::max(grid.first, start.frame);
        frames += static_cast<std::size_t>(std::max(1, grid.count()));
    }
    return frames;
}

// The run after every check passed: the table is open and locked, the record written.
class Run {
public:
    Run(const BatchOptions& o, const std::vector<BatchItem>& i, const ColorClassifier& c,
        std::ostream& l, const RunSources& s, const std::vector<std::string>& warnings)
        : options(o),
          items(i),
          classifier(c),
          log(l),
          recordStart(runRecordStart(o, i, s, warnings)) {}

    int go(bool terminal, TableFile& table, const RunFiles& files, const ResumePoint& resumeAt,
           const std::vector<std::string>& named, TableFile* stacksTable,
           const std::vector<StackRecord>& stacksBefore, TableFile* canalsTable);

private:
    void writeRecord(Durability durability);
    void startWorkers(int jobs, const std::function<void()>& work);

    const BatchOptions& options;
    const std::vector<BatchItem>& items;
    const ColorClassifier& classifier;
    std::ostream& log;
    const std::string recordStart;  // what the run is, in every record
    fs::path recordPath;
    RunOutcome outcome;
    std::vector<std::string> earlier;  // named before the workers started
    bool recordFailed = false;
    std::vector<std::thread> workers;
};

void Run::writeRecord(Durability durability) {
    if (writeFileReplacing(recordPath.string(), runRecordText(recordStart, outcome), durability) ||
        recordFailed)
        return;
    recordFailed = true;
    say(log, recordPath.string() + ": the run record cannot be written");
}

// As many of `jobs` workers as the system lets start; the calling thread is one of them.
void Run::startWorkers(int jobs, const std::function<void()>& work) {
    for (int j = 1; j < jobs; ++j) {
        try {
            workers.emplace_back(work);
        } catch (const std::exception& e) {
            say(log, "only " + std::to_string(j) + " of " + std::to_string(jobs) +
                         " workers could be started (" + reasonOf(e) +
                         "); the run goes on with them");
            break;
        }
    }
}

int Run::go(bool terminal, TableFile& table, const RunFiles& files, const ResumePoint& resumeAt,
            const std::vector<std::string>& named, TableFile* stacksTable,
            const std::vector<StackRecord>& stacksBefore, TableFile* canalsTable) {
    recordPath = files.record;
    earlier = named;
    outcome.stacks = stacksBefore;
    outcome.started = utcTimeNow();
    outcome.classThreshold = classifier.threshold;
    outcome.itemsDone = resumeAt.itemsDone;
    outcome.framesDone = resumeAt.framesDone;
    outcome.problems = earlier;
    writeRecord(Durability::Flushed);

    const bool hasFrames = std::any_of(items.begin(), items.end(), [](const BatchItem& i) {
        return i.kind != MediaKind::Picture;
    });
    const int cores = usableCores();
    if (options.jobs > cores)
        say(log, "--jobs " + std::to_string(options.jobs) + ": " + std::to_string(cores) +
                     " cores to run on, so " + std::to_string(cores) +
                     " jobs (more would only take memory)");
    int jobs = options.jobs > 0 ? std::min(options.jobs, cores) : cores;
    if (!hasFrames) jobs = std::min<int>(jobs, static_cast<int>(items.size()));
    jobs = std::max(jobs, 1);

    const StartAt start{resumeAt.item, std::max(resumeAt.frame, 0)};
    Progress progress(log,
                      options.quiet ? Progress::Style::Quiet
                      : terminal    ? Progress::Style::Terminal
                                    : Progress::Style::Lines,
                      items.size());
    progress.alreadyDone(resumeAt.itemsDone, resumeAt.framesDone);
    if (terminal && !options.quiet)
        progress.framesToTake(framesToTake(items, start, options.every));
    FrameQueue queue(items, options.every, 2 * static_cast<std::size_t>(jobs), start,
                     options.overlays == Overlays::Video, options.window);
    // Problems reach the record before the rows after them reach the table, so that a run
    // killed outright still names them, and a resumed run with it.
    RunProblems problems(items, options.every, progress, [&](const std::vector<std::string>& p) {
        outcome.problems = earlier;
        outcome.problems.insert(outcome.problems.end(), p.begin(), p.end());
        writeRecord(Durability::Deferred);
    });
    std::vector<FrameListener*> listeners;
    std::optional<StackListener> stacks;
    if (stacksTable && canalsTable)
        listeners.push_back(
            &stacks.emplace(options, items, *stacksTable, *canalsTable, problems, progress));
    MovieListener movies(items, options.every, problems, progress);
    listeners.push_back(&movies);
    OrderedWriter writer(items, table, files.table.string(), queue, progress, problems, listeners);
    std::optional<ThumbnailSample> thumbnails;
    if (options.report && options.overlays != Overlays::None)
        thumbnails.emplace(reportThumbnailFolder(files.report), options.out, items,
                           resumeAt.keepBytes == 0);
    std::mutex failureMutex;
    std::string failure;  // the resource that failed and stopped the run
    const auto work = [&] {
        try {
            FrameAnalyser analyser(options, classifier, thumbnails ? &*thumbnails : nullptr);
            WorkUnit unit;
            while (StopSignals::received() == 0 && queue.next(unit))
                writer.submit(unit, analyser.analyse(items[unit.item], unit));
        } catch (const std::exception& e) {
            const std::lock_guard lock(failureMutex);
            if (failure.empty()) failure = reasonOf(e);
        }
        queue.stop();
    };
    startWorkers(jobs, work);
    work();
    for (std::thread& w : workers) w.join();

    const OrderedWriter::Done written = writer.finish();
    outcome.itemsDone += written.items;
    outcome.framesDone += written.frames;
    if (stacks)
        outcome.stacks.insert(outcome.stacks.end(), stacks->completed().begin(),
                              stacks->completed().end());
    outcome.problems.clear();
    std::unordered_set<std::string> seen;
    for (const auto* list :
         std::array<const std::vector<std::string>*, 2>{&earlier, &problems.named()})
        for (const std::string& p : *list)
            if (seen.insert(utf8Text(p)).second) outcome.problems.push_back(p);
    if (!failure.empty()) {
        outcome.problems.push_back("the run stopped: " + failure +
                                   "; the table keeps every finished frame, --resume continues");
        say(log, outcome.problems.back());
    }
    // The table is flushed to the disk before the record says the run finished; the pictures
    // and movies, which a run can make again, are left to the system's write-back.
    if (!table.sync() && !writer.tableFailed())
        outcome.problems.push_back(files.table.string() + ": the table cannot be written");
    for (auto [file, path] :
         {std::pair{stacksTable, files.stacks}, std::pair{canalsTable, files.canals}})
        if (file && !file->sync() && !writer.tableFailed())
            outcome.problems.push_back(path.string() + ": the table cannot be written");
    // Removed after the last row was written.
    bool removed = writer.tableFailed();
    for (auto [file, path] : {std::pair{&table, files.table}, std::pair{stacksTable, files.stacks}})
        if (file && file->removed() && !std::exchange(removed, true)) {
            outcome.problems.push_back(removedTableProblem(path.string()));
            say(log, outcome.problems.back());
        }
    if (const int signo = StopSignals::received()) {
        outcome.status = "interrupted";
        outcome.exitStatus = 128 + signo;
        say(log, std::string("stopped by ") + StopSignals::name(signo) +
                     "; the table keeps every finished frame, --resume continues");
    } else {
        outcome.status = removed || !failure.empty() ? "stopped" : "finished";
        outcome.exitStatus = outcome.problems.empty() ? 0 : 1;
    }
    outcome.ended = utcTimeNow();
    writeRecord(Durability::Flushed);
    // The page shows the record as written; a page that cannot be written is named in it.
    if (options.report) {
        const ReportSources report{options.out, files.table, files.record, files.report,
                                   files.suffix};
        if (const auto problem = writeRunReport(report, items)) {
            say(log, *problem);
            outcome.problems.push_back(*problem);
            outcome.exitStatus = outcome.exitStatus == 0 ? 1 : outcome.exitStatus;
            writeRecord(Durability::Flushed);
        }
    }
    return recordFailed && outcome.exitStatus == 0 ? 1 : outcome.exitStatus;
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

int runChecked(const BatchOptions& given, std::ostream& log, bool terminal) {
    BatchOptions withScales = given;
    const BatchOptions& options = withScales;
    const auto refuse = [&](const std::string& problem) {
        say(log, problem);
        return 1;
    };

    ColorClassifier classifier;
    const ClassFileRead classRead =
        loadColorClassifier(options.classes, options.analysis.classThreshold, classifier,
                            options.analysis.autoClassThreshold);
    if (classRead.status != ClassFileStatus::Ok)
        return refuse(options.classes + ": " + describe(classRead));

    BatchInputs inputs = collectInputs(options.inputs, options.out, options.stackFolders);
    for (const std::string& p : inputs.problems) say(log, p);
    for (const std::string& n : inputs.notes) say(log, n);
    if (inputs.items.empty()) return refuse("no picture or video to analyse");
    std::string problem;
    // Of the whole run, in every shard's record.
    std::vector<std::string> warnings = sparseClassWarnings(options.classes, classifier);
    const bool scaled = assignScales(inputs.items, withScales, log, problem, warnings);
    if (scaled) {
        const auto idle = idleOptionWarnings(options, inputs.items);
        warnings.insert(warnings.end(), idle.begin(), idle.end());
    }
    for (const std::string& w : warnings) say(log, "warning: " + w);
    if (!scaled) return refuse(problem);
    // Millimetre columns also when only the inputs' files give a scale.
    withScales.filesGiveScales =
        std::any_of(inputs.items.begin(), inputs.items.end(),
                    [](const BatchItem& i) { return i.pxPerMm.has_value(); });
    const std::vector<BatchItem> items = shardOf(inputs.items, options.shard, options.shards);
    if (items.empty())
        say(log, "shard " + std::to_string(options.shard) + "/" + std::to_string(options.shards) +
                     " has nothing to do: the run has " + std::to_string(inputs.items.size()) +
                     " inputs; it writes its table's header and its record");
    const RunFiles files = runFilesOf(options);
    if (const auto p = problemBeforeRun(options, items, files)) return refuse(*p);

    // A signal during the checks stops the run before it makes anything; one from here on
    // lets it start, and it stops at once with its record.
    if (const int signo = StopSignals::received()) {
        say(log, std::string("stopped by ") + StopSignals::name(signo) +
                     " before the run started; nothing was written");
        return 128 + signo;
    }
    // From here on a refusal undoes what was made for the run.
    MadeForTheRun made;
    const auto refuseMade = [&](const std::string& p) {
        made.undo();
        return refuse(p);
    };
    FolderLock folderLock;
    TableFile table;
    if (!made.makeFolders(options.out) ||
        !made.makeFolders(fs::absolute(files.table).parent_path()))
        return refuseMade(options.out + ": the output folder cannot be made or written");
    made.aboutToCreate(files.lock);
    std::string lockNote;
    if (const auto p = folderLock.acquire(files.lock, lockNote))
        return refuseMade(options.out + ": " + *p);
    if (!lockNote.empty()) say(log, lockNote);
    made.aboutToCreate(files.table);
    if (!table.open(files.table))
        return refuseMade(files.table.string() + ": the table cannot be written");
    if (!table.lock())
        return refuseMade(files.table.string() +
                          ": another quendra-batch run is writing this table");

    const RunSources sources = runSourcesOf(options, items);
    const std::string header = tableHeader(options.millimetres());
    ResumePoint resumeAt;
    std::vector<std::string> named = inputs.problems;
    std::vector<StackRecord> stacksBefore;  // finished by the run resumed
    const bool resuming = table.size() > 0 && options.resume;
    if (resuming) {
        const std::string cannot = files.table.string() + ": cannot be resumed: ";
        std::error_code ec;
        if (!fs::exists(files.record, ec))
            return refuseMade(cannot + "there is no record of the earlier run (" +
                              files.record.string() +
                              ") to tell its settings and inputs by; --overwrite starts afresh");
        const FileRead recordRead = readRegularFile(files.record.string(), kMaxRecordBytes);
        if (recordRead.status != FileReadStatus::Ok)
            return refuseMade(cannot + files.record.string() + ": " +
                              describeFileRead(recordRead, kMaxRecordBytes));
        const std::string& record = recordRead.bytes;
        std::string differences;
        for (const std::string& d : runDifferences(record, options, items, sources))
            differences += (differences.empty() ? "" : "; ") + d;
        if (!differences.empty()) return refuseMade(cannot + differences);
        const std::vector<std::string> earlier = problemsOf(record);
        const FileRead rows = readRegularFile(files.table.string(), kMaxTableBytes);
        if (rows.status != FileReadStatus::Ok)
            return refuseMade(cannot + describeFileRead(rows, kMaxTableBytes));
        const auto point =
            findResumePoint(rows.bytes, header, items, options.every, earlier, problem);
        if (!point) return refuseMade(cannot + problem);
        resumeAt = *point;
        for (StackRecord& s : stacksOf(record))
            for (std::size_t i = 0; i < resumeAt.item; ++i)
                if (utf8Text(items[i].path) == s.stack) stacksBefore.push_back(std::move(s));
        removeLeftovers(items, files.record);
        for (const std::string& p :
             carriedProblems(earlier, items, resumeAt.item, files.table.string())) {
            say(log, p + " (named by the run resumed)");
            named.push_back(p);
        }
    } else if (table.size() > 0 && !options.overwrite) {
        return refuseMade(files.table.string() +
                          ": the table of an earlier run is there; --overwrite replaces it, "
                          "--resume continues it");
    }
    // Every shard of a run with stacks writes its stacks' table, so that the shards' tables
    // make the run's whatever the shards hold.
    TableFile stacksTable, canalsTable;
    const bool hasStacks =
        std::any_of(inputs.items.begin(), inputs.items.end(),
                    [](const BatchItem& i) { return i.kind == MediaKind::Stack; });
    if (hasStacks) {
        for (auto [file, path, start] :
             {std::tuple{&stacksTable, files.stacks, stacksTableHeader()},
              std::tuple{&canalsTable, files.canals, canalsTableHeader()}})
            if (const auto p = startStacksTable(*file, path, made, items,
                                                resuming ? &resumeAt : nullptr, start))
                return refuseMade(*p);
    }
    if (resumeAt.keepBytes == 0 ? !table.truncate(0) || !table.append(header)
                                : !table.truncate(resumeAt.keepBytes))
        return refuseMade(files.table.string() + ": the table cannot be written");
    Run run(options, items, classifier, log, sources, warnings);
    return run.go(terminal, table, files, resumeAt, named, hasStacks ? &stacksTable : nullptr,
                  stacksBefore, hasStacks ? &canalsTable : nullptr);
}

}  // namespace

int runBatch(const BatchOptions& options, std::ostream& log, bool terminal) {
    // Before anything is made: a signal between the table's making and the first record would
    // leave a table that no resume can continue.
    const StopSignals signals;
    try {
        return runChecked(options, log, terminal);
    } catch (const std::exception& e) {
        say(log, "the run stopped: " + reasonOf(e));
        return 1;
    }
}

}  // namespace quendra
