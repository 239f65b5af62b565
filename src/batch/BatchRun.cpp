#include "batch/BatchRun.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <thread>
#include <unordered_set>

#include "batch/BatchInputs.h"
#include "batch/BatchTable.h"
#include "batch/FrameAnalyser.h"
#include "batch/FrameQueue.h"
#include "batch/OrderedWriter.h"
#include "batch/Progress.h"
#include "batch/Resume.h"
#include "batch/RunGuards.h"
#include "batch/RunRecord.h"
#include "batch/ScaleFile.h"
#include "colour/ColorClassifier.h"
#include "io/FileWriting.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

std::string describe(ClassFileStatus status) {
    switch (status) {
        case ClassFileStatus::Empty:
            return "the colour-class file holds no colour classes";
        case ClassFileStatus::TooLarge:
            return "too large for a colour-class file (more than 16777216 records)";
        default:
            return "the colour-class file cannot be read";
    }
}

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool samePlace(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Whether `folder` exists as a folder this process may write into, or can be made.
bool usableFolder(const fs::path& folder) {
    std::error_code ec;
    fs::path existing = fs::absolute(folder, ec);
    while (!existing.empty() && !fs::exists(existing, ec)) existing = existing.parent_path();
    return fs::is_directory(existing, ec) && ::access(existing.c_str(), W_OK | X_OK) == 0;
}

// Everything that can be checked without writing; the first problem found, or nothing.
std::optional<std::string> problemBeforeRun(const BatchOptions& o,
                                            const std::vector<BatchItem>& items,
                                            const fs::path& tablePath, const fs::path& recordPath) {
    if (items.empty()) return "no picture or video to analyse";
    if (!usableFolder(o.out)) return o.out + ": the output folder cannot be made or written";
    std::error_code ec;
    if (fs::exists(tablePath, ec) && !fs::is_regular_file(tablePath, ec))
        return tablePath.string() + ": the table's path is taken by something not a regular file";
    if (samePlace(tablePath, o.classes))
        return tablePath.string() + ": the table would replace the colour-class file";
    if (samePlace(tablePath, recordPath))
        return tablePath.string() + ": the table would replace the run record";
    for (const BatchItem& item : items)
        if (samePlace(tablePath, item.path))
            return tablePath.string() + ": the table would replace the input " + item.path;
    const RunOutputs outputs(items);
    if (const BatchItem* writer = outputs.writerOf(tablePath))
        return tablePath.string() + ": the table would replace an output of " + writer->path;
    if (const BatchItem* writer = outputs.writerOf(o.classes))
        return o.classes + ": the colour-class file would be replaced by an output of " +
               writer->path;
    for (const BatchItem& input : items)
        if (const BatchItem* writer = outputs.writerOf(input.path))
            return input.path + ": this input would be replaced by an output of " + writer->path +
                   "; leave it out or choose another --out";
    return std::nullopt;
}

// Gives every item its scale: its own from the scale file (by the name given, or within its
// folder), else --px-per-mm. Returns how many have none while millimetres are asked for.
std::size_t assignScales(std::vector<BatchItem>& items, const std::map<std::string, double>& scales,
                         std::optional<double> everyOther) {
    std::size_t without = 0;
    for (BatchItem& item : items) {
        auto it = scales.find(item.path);
        if (it == scales.end()) it = scales.find(item.nameInInput);
        item.pxPerMm = it != scales.end() ? std::optional(it->second) : everyOther;
        without += !item.pxPerMm;
    }
    return without;
}

// The names of a run's table, record and lock: one set per shard, so that shards can share a
// folder.
std::string shardSuffix(const BatchOptions& o) {
    return o.shards > 1 ? "-" + std::to_string(o.shard) + "-of-" + std::to_string(o.shards) : "";
}

}  // namespace

int runBatch(const BatchOptions& options, std::ostream& log, bool terminal) {
    const auto refuse = [&](const std::string& problem) {
        log << "quendra-batch: " << problem << "\n";
        return 1;
    };

    ColorClassifier classifier;
    const ClassFileStatus classStatus =
        loadColorClassifier(options.classes, options.analysis.classThreshold, classifier,
                            options.analysis.autoClassThreshold);
    if (classStatus != ClassFileStatus::Ok)
        return refuse(options.classes + ": " + describe(classStatus));
    std::map<std::string, double> scales;
    if (!options.scale.empty()) {
        std::string problem;
        const auto read = readScaleFile(options.scale, problem);
        if (!read) return refuse(problem);
        scales = *read;
    }

    const fs::path out = options.out;
    const BatchInputs inputs = collectInputs(options.inputs, out);
    for (const std::string& p : inputs.problems) log << "quendra-batch: " << p << "\n";
    for (const std::string& n : inputs.notes) log << "quendra-batch: " << n << "\n";
    std::vector<BatchItem> items = shardOf(inputs.items, options.shard, options.shards);
    const std::size_t unscaled = assignScales(items, scales, options.pxPerMm);
    if (options.millimetres() && unscaled > 0)
        log << "quendra-batch: " << unscaled
            << " inputs have no scale; their millimetre columns stay empty\n";
    const std::string suffix = shardSuffix(options);
    const fs::path tablePath =
        options.csv.empty() ? out / ("results" + suffix + ".csv") : fs::path(options.csv);
    const fs::path recordPath = out / ("run" + suffix + ".json");
    if (const auto problem = problemBeforeRun(options, items, tablePath, recordPath))
        return refuse(*problem);

    std::error_code ec;
    fs::create_directories(out, ec);
    FolderLock folderLock;
    TableFile table;
    if (!folderLock.acquire(out / (".quendra-batch" + suffix + ".lock")))
        return refuse(options.out + ": another quendra-batch run is writing into this folder");
    if (!table.open(tablePath)) return refuse(tablePath.string() + ": the table cannot be written");
    if (!table.lock())
        return refuse(tablePath.string() + ": another quendra-batch run is writing this table");

    const std::string header = tableHeader(options.millimetres());
    ResumePoint resumeAt;
    std::vector<std::string> carried;  // named by the run resumed, about what it finished
    if (table.size() > 0 && options.resume) {
        std::string problem;
        const auto point =
            findResumePoint(readWhole(tablePath), header, items, options.every, problem);
        if (!point) return refuse(tablePath.string() + ": cannot be resumed: " + problem);
        const std::string record = fs::exists(recordPath) ? readWhole(recordPath) : "";
        if (!record.empty() && !sameRun(record, options, items, problem))
            return refuse(recordPath.string() + ": cannot be resumed: " + problem);
        resumeAt = *point;
        carried = carriedProblems(problemsOf(record), items, resumeAt.item, tablePath.string());
        for (const std::string& p : carried)
            log << "quendra-batch: " << p << " (named by the run resumed)\n";
    } else if (table.size() > 0 && !options.overwrite) {
        return refuse(tablePath.string() +
                      ": the table of an earlier run is there; --overwrite replaces it, "
                      "--resume continues it");
    }
    if (resumeAt.keepBytes == 0 ? !table.truncate(0) || !table.append(header)
                                : !table.truncate(resumeAt.keepBytes))
        return refuse(tablePath.string() + ": the table cannot be written");

    RunOutcome outcome;
    outcome.classThreshold = classifier.threshold;
    outcome.itemsDone = resumeAt.itemsDone;
    outcome.framesDone = resumeAt.framesDone;
    bool recordFailed = false;
    const auto writeRecord = [&] {
        if (writeFileReplacing(recordPath.string(), runRecordText(options, items, outcome))) return;
        recordFailed = true;
        log << "quendra-batch: " << recordPath.string() << ": the run record cannot be written\n";
    };
    writeRecord();

    const StopSignals signals;
    const bool hasVideo = std::any_of(
        items.begin(), items.end(), [](const BatchItem& i) { return i.kind == MediaKind::Video; });
    int jobs =
        options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    if (!hasVideo) jobs = std::min<int>(jobs, static_cast<int>(items.size()));
    jobs = std::max(jobs, 1);

    Progress progress(log,
                      options.quiet ? Progress::Style::Quiet
                      : terminal    ? Progress::Style::Terminal
                                    : Progress::Style::Lines,
                      items.size());
    progress.alreadyDone(resumeAt.itemsDone, resumeAt.framesDone);
    FrameQueue queue(items, options.every, 2 * static_cast<std::size_t>(jobs),
                     {resumeAt.item, std::max(resumeAt.frame, 0)},
                     options.overlays == Overlays::Video);
    OrderedWriter writer(items, options.every, table, tablePath.string(), queue, progress);
    const auto work = [&] {
        FrameAnalyser analyser(options, classifier);
        WorkUnit unit;
        while (StopSignals::received() == 0 && queue.next(unit))
            writer.submit(unit, analyser.analyse(items[unit.item], unit));
        queue.stop();
    };
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j) workers.emplace_back(work);
    work();
    for (std::thread& w : workers) w.join();

    const RunOutcome written = writer.finish();
    outcome.itemsDone += written.itemsDone;
    outcome.framesDone += written.framesDone;
    std::unordered_set<std::string> named;
    for (const auto* problems : std::array<const std::vector<std::string>*, 3>{
             &inputs.problems, &carried, &written.problems})
        for (const std::string& p : *problems)
            if (named.insert(utf8Text(p)).second) outcome.problems.push_back(p);
    // The table is flushed to the disk before the record says the run finished; the pictures
    // and movies, which a run can make again, are left to the system's write-back.
    if (!table.sync() && !writer.tableFailed())
        outcome.problems.push_back(tablePath.string() + ": the table cannot be written");
    if (const int signo = StopSignals::received()) {
        outcome.status = "interrupted";
        outcome.exitStatus = 128 + signo;
        log << "quendra-batch: stopped by " << (signo == SIGINT ? "SIGINT" : "SIGTERM")
            << "; the table keeps every finished frame, --resume continues\n";
    } else {
        outcome.status = writer.tableFailed() ? "stopped" : "finished";
        outcome.exitStatus = outcome.problems.empty() ? 0 : 1;
    }
    writeRecord();
    return recordFailed && outcome.exitStatus == 0 ? 1 : outcome.exitStatus;
}

}  // namespace quendra
