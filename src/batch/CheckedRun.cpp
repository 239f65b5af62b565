#include "batch/CheckedRun.h"

#include <sched.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "batch/FrameAnalyser.h"
#include "batch/FrameReader.h"
#include "batch/MovieListener.h"
#include "batch/Progress.h"
#include "batch/RunProblems.h"
#include "batch/StackListener.h"
#include "io/Utf8Text.h"
#include "report/ReportThumbnails.h"
#include "report/RunReport.h"

namespace quendra {

namespace {

// The cores this process may run on (a job scheduler's share of the machine), at least one.
int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

// The workers the run starts: --jobs, at most the usable cores (more are named), and no more
// than the pictures when there is nothing else.
int jobsToRun(const BatchOptions& options, const std::vector<BatchItem>& items, std::ostream& log) {
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
    return std::max(jobs, 1);
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

}  // namespace

std::string reasonOf(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "out of memory";
    if (const auto* s = dynamic_cast<const std::system_error*>(&e)) return s->code().message();
    return e.what();
}

CheckedRun::CheckedRun(const BatchOptions& o, const std::vector<BatchItem>& i,
                       const ColorClassifier& c, std::ostream& l, const RunSources& s,
                       const std::vector<std::string>& warnings)
    : options(o), items(i), classifier(c), log(l), recordStart(runRecordStart(o, i, s, warnings)) {}

void CheckedRun::writeRecord(Durability durability) {
    if (writeFileReplacing(recordPath.string(), runRecordText(recordStart, outcome), durability) ||
        recordFailed)
        return;
    recordFailed = true;
    say(log, recordPath.string() + ": the run record cannot be written");
}

int CheckedRun::go(bool terminal, RunStart& start, const RunFiles& files) {
    recordPath = files.record;
    earlier = start.named;
    outcome.stacks = start.stacksBefore;
    outcome.started = utcTimeNow();
    outcome.classThreshold = options.analysis.classThresholdFor(classifier);
    outcome.itemsDone = start.resumeAt.itemsDone;
    outcome.framesDone = start.resumeAt.framesDone;
    outcome.problems = earlier;
    writeRecord(Durability::Flushed);

    const std::string failure = analyseFrames(terminal, start, files);
    if (!failure.empty()) {
        outcome.problems.push_back("the run stopped: " + failure +
                                   "; the table keeps every finished frame, --resume continues");
        say(log, outcome.problems.back());
    }
    const bool removed = nameTableProblems(start, files);
    settle(removed || !failure.empty());
    outcome.ended = utcTimeNow();
    writeRecord(Durability::Flushed);
    writeReport(files);
    return recordFailed && outcome.exitStatus == 0 ? 1 : outcome.exitStatus;
}

// Analyses the frames from where the run starts, the writer putting them in order with their
// stacks' tables and movies; the resource that failed and stopped the run, or nothing.
std::string CheckedRun::analyseFrames(bool terminal, RunStart& start, const RunFiles& files) {
    const int jobs = jobsToRun(options, items, log);
    const StartAt from{start.resumeAt.item, std::max(start.resumeAt.frame, 0)};
    Progress progress(log,
                      options.quiet ? Progress::Style::Quiet
                      : terminal    ? Progress::Style::Terminal
                                    : Progress::Style::Lines,
                      items.size());
    progress.alreadyDone(start.resumeAt.itemsDone, start.resumeAt.framesDone);
    if (terminal && !options.quiet) progress.framesToTake(framesToTake(items, from, options.every));
    FrameQueue queue(items, options.every, readAhead(jobs), from,
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
    if (start.hasStacks)
        listeners.push_back(&stacks.emplace(options, items, start.stacksTable, start.canalsTable,
                                            start.hasLevels ? &start.levelsTable : nullptr,
                                            problems, progress));
    MovieListener movies(items, options.every, problems, progress);
    listeners.push_back(&movies);
    OrderedWriter writer(items, start.table, files.table.string(), queue, progress, problems,
                         listeners);
    const std::string failure = runWorkers(jobs, queue, writer, start, files);
    takeWritten(writer.finish(), problems.named(),
                stacks ? stacks->completed() : std::vector<StackRecord>{});
    tableFailed = writer.tableFailed();
    return failure;
}

// The workers take the frames the reader decoded ahead until none is left or the run stops; the
// resource that failed and stopped them, or nothing.
std::string CheckedRun::runWorkers(int jobs, FrameQueue& queue, OrderedWriter& writer,
                                   const RunStart& start, const RunFiles& files) {
    std::optional<ThumbnailSample> thumbnails;
    if (options.report && options.overlays != Overlays::None)
        thumbnails.emplace(files.thumbnails, options.out, items, start.resumeAt.keepBytes == 0);
    std::mutex failureMutex;
    std::string failure;  // the resource that failed and stopped the run
    FrameReader reader(queue, jobs);
    const auto work = [&] {
        try {
            FrameAnalyser analyser(options, classifier, thumbnails ? &*thumbnails : nullptr);
            WorkUnit unit;
            while (StopSignals::received() == 0 && reader.next(unit))
                writer.submit(unit, analyser.analyse(items[unit.item], unit));
        } catch (const std::exception& e) {
            const std::lock_guard lock(failureMutex);
            if (failure.empty()) failure = reasonOf(e);
        }
        reader.stop();
    };
    startWorkers(jobs, work);
    work();
    for (std::thread& w : workers) w.join();
    return failure;
}

// As many of `jobs` workers as the system lets start; the calling thread is one of them.
void CheckedRun::startWorkers(int jobs, const std::function<void()>& work) {
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

// What the writer wrote, after what the run resumed did; each problem is named once.
void CheckedRun::takeWritten(const OrderedWriter::Done& done,
                             const std::vector<std::string>& problems,
                             const std::vector<StackRecord>& stacks) {
    outcome.itemsDone += done.items;
    outcome.framesDone += done.frames;
    outcome.stacks.insert(outcome.stacks.end(), stacks.begin(), stacks.end());
    outcome.problems.clear();
    std::unordered_set<std::string> seen;
    for (const auto* list : std::array<const std::vector<std::string>*, 2>{&earlier, &problems})
        for (const std::string& p : *list)
            if (seen.insert(utf8Text(p)).second) outcome.problems.push_back(p);
}

// The tables are flushed to the disk before the record says the run finished; the pictures
// and movies, which a run can make again, are left to the system's write-back. A table that
// cannot be flushed, or was removed after its last row was written, is named. Whether a table
// was removed or could not be written, which stopped the run.
bool CheckedRun::nameTableProblems(RunStart& start, const RunFiles& files) {
    TableFile* const stacksTable = start.hasStacks ? &start.stacksTable : nullptr;
    TableFile* const canalsTable = start.hasStacks ? &start.canalsTable : nullptr;
    if (!start.table.sync() && !tableFailed)
        outcome.problems.push_back(files.table.string() + ": the table cannot be written");
    for (auto [file, path] :
         {std::pair{stacksTable, files.stacks}, std::pair{canalsTable, files.canals}})
        if (file && !file->sync() && !tableFailed)
            outcome.problems.push_back(path.string() + ": the table cannot be written");
    bool removed = tableFailed;
    for (auto [file, path] :
         {std::pair{&start.table, files.table}, std::pair{stacksTable, files.stacks}})
        if (file && file->removed() && !std::exchange(removed, true)) {
            outcome.problems.push_back(removedTableProblem(path.string()));
            say(log, outcome.problems.back());
        }
    return removed;
}

// How the run ended, and its exit status: stopped by a signal, `stopped` by a failure, or
// finished, with or without problems.
void CheckedRun::settle(bool stopped) {
    if (const int signo = StopSignals::received()) {
        outcome.status = "interrupted";
        outcome.exitStatus = 128 + signo;
        say(log, std::string("stopped by ") + StopSignals::name(signo) +
                     "; the table keeps every finished frame, --resume continues");
    } else {
        outcome.status = stopped ? "stopped" : "finished";
        outcome.exitStatus = outcome.problems.empty() ? 0 : 1;
    }
}

// The page shows the record as written; a page that cannot be written is named in it.
void CheckedRun::writeReport(const RunFiles& files) {
    if (!options.report) return;
    const ReportSources report{options.out, files.table, files.record, files.report, files.suffix};
    if (const auto problem = writeRunReport(report, items)) {
        say(log, *problem);
        outcome.problems.push_back(*problem);
        outcome.exitStatus = outcome.exitStatus == 0 ? 1 : outcome.exitStatus;
        writeRecord(Durability::Flushed);
    }
}

}  // namespace quendra
