#include "batch/BatchRun.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include "analysis/ToothAnalysis.h"
#include "batch/BatchInputs.h"
#include "batch/BatchTable.h"
#include "batch/FrameQueue.h"
#include "batch/OrderedWriter.h"
#include "batch/RunRecord.h"
#include "colour/ColorClassifier.h"
#include "io/FileWriting.h"
#include "io/PictureFile.h"
#include "report/RecognitionData.h"
#include "report/ResultOverlay.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

// The signal that asked the run to stop, 0 while none did. A second one ends the process at
// once, as the operator expects of a second Ctrl-C.
std::atomic<int> stopSignal{0};

extern "C" void onStopSignal(int signo) {
    if (stopSignal.exchange(signo) != 0) {
        std::signal(signo, SIG_DFL);
        std::raise(signo);
    }
}

// SIGINT and SIGTERM stop the run after the frames in hand, for as long as it lasts.
class StopSignals {
public:
    StopSignals() {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction previousInt {
    }, previousTerm{};
};

// An exclusive lock on the output folder, held for the run, so that a second run into the
// same folder is refused instead of writing into the first one's table.
class FolderLock {
public:
    bool acquire(const fs::path& folder) {
        fd = ::open((folder / ".quendra-batch.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    }
    FolderLock() = default;
    ~FolderLock() {
        if (fd >= 0) ::close(fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd = -1;
};

std::string describe(PictureStatus status, cv::Size size) {
    switch (status) {
        case PictureStatus::NotAFile:
            return "not a regular file";
        case PictureStatus::TooLarge:
            return "the picture has " + std::to_string(size.width) + " x " +
                   std::to_string(size.height) + " pixels, more than the limit of " +
                   std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels";
        default:
            return "cannot read the picture";
    }
}

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

// One worker's analysis: its own class cache and masks, the run's shared classifier.
class FrameAnalyser {
public:
    FrameAnalyser(const BatchOptions& o, const ColorClassifier& c) : options(o), classifier(c) {
        analysis.setThreshold(o.threshold);
        analysis.setBorder(o.border);
        analysis.setEllipseRadius(o.filter);
    }

    UnitResult analyse(const BatchItem& item, const WorkUnit& unit) {
        UnitResult result;
        try {
            if (unit.frame >= 0) {
                if (!unit.unreadable) analyseFrame(item, unit.frame, unit.picture, result);
            } else if (item.kind == MediaKind::Video) {
                result.problems.push_back(item.path + ": cannot read the video");
            } else {
                const PictureRead read = readPicture(item.path);
                if (read.status == PictureStatus::Ok)
                    analyseFrame(item, -1, read.picture, result);
                else
                    result.problems.push_back(item.path + ": " + describe(read.status, read.size));
            }
        } catch (const std::exception& e) {
            std::string reason = e.what();
            reason.erase(reason.find_last_not_of(" \n") + 1);
            result.rows.clear();
            result.problems.push_back(
                item.path + (unit.frame >= 0 ? ", frame " + std::to_string(unit.frame) : "") +
                ": the analysis failed (" + reason + ")");
        }
        return result;
    }

private:
    void analyseFrame(const BatchItem& item, int frame, const cv::Mat& picture,
                      UnitResult& result) {
        const FrameResult& frameResult = analysis.calculate(picture, classifier);
        const fs::path overlay = overlayPath(item, frame), text = textPath(item, frame);
        std::error_code ec;
        fs::create_directories(overlay.parent_path(), ec);
        cv::Mat drawn = picture.clone();
        drawResultOverlay(drawn, frameResult);
        if (!savePicture(overlay.string(), drawn))
            result.problems.push_back(overlay.string() + ": cannot be written");
        if (!saveRecognitionData(text.string(), frameResult))
            result.problems.push_back(text.string() + ": cannot be written");
        result.rows = frameRows(utf8Text(item.path), frame, frameResult, options.pxPerMm);
    }

    const BatchOptions& options;
    const ColorClassifier& classifier;
    ToothAnalysis analysis;
};

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
std::optional<std::string> problemBeforeRun(const BatchOptions& o, const BatchInputs& inputs,
                                            const fs::path& tablePath, const fs::path& recordPath) {
    if (inputs.items.empty()) return "no picture or video to analyse";
    if (!usableFolder(o.out)) return o.out + ": the output folder cannot be made or written";
    std::error_code ec;
    if (fs::is_directory(tablePath, ec)) return tablePath.string() + ": the table is a folder";
    if (samePlace(tablePath, o.classes))
        return tablePath.string() + ": the table would replace the colour-class file";
    if (samePlace(tablePath, recordPath))
        return tablePath.string() + ": the table would replace the run record";
    for (const BatchItem& item : inputs.items) {
        if (samePlace(tablePath, item.path))
            return tablePath.string() + ": the table would replace the input " + item.path;
        if (isOutputOf(item, tablePath))
            return tablePath.string() + ": the table would replace an output of " + item.path;
        if (isOutputOf(item, o.classes))
            return o.classes + ": the colour-class file would be replaced by an output of " +
                   item.path;
    }
    for (const BatchItem& input : inputs.items)
        for (const BatchItem& item : inputs.items)
            if (isOutputOf(item, input.path))
                return input.path + ": this input would be replaced by an output of " + item.path +
                       "; leave it out or choose another --out";
    return std::nullopt;
}

}  // namespace

int runBatch(const BatchOptions& options, std::ostream& log) {
    const auto refuse = [&](const std::string& problem) {
        log << "quendra-batch: " << problem << "\n";
        return 1;
    };

    ColorClassifier classifier;
    const ClassFileStatus classStatus =
        loadColorClassifier(options.classes, options.classThreshold, classifier);
    if (classStatus != ClassFileStatus::Ok)
        return refuse(options.classes + ": " + describe(classStatus));

    const fs::path out = options.out;
    const BatchInputs inputs = collectInputs(options.inputs, out);
    for (const std::string& p : inputs.problems) log << "quendra-batch: " << p << "\n";
    for (const std::string& n : inputs.notes) log << "quendra-batch: " << n << "\n";
    const fs::path tablePath = options.csv.empty() ? out / "results.csv" : fs::path(options.csv);
    const fs::path recordPath = out / "run.json";
    if (const auto problem = problemBeforeRun(options, inputs, tablePath, recordPath))
        return refuse(*problem);

    std::error_code ec;
    fs::create_directories(out, ec);
    FolderLock folderLock;
    TableFile table;
    if (!folderLock.acquire(out))
        return refuse(options.out + ": another quendra-batch run is writing into this folder");
    if (!table.open(tablePath)) return refuse(tablePath.string() + ": the table cannot be written");
    if (!table.lock())
        return refuse(tablePath.string() + ": another quendra-batch run is writing this table");
    if (table.size() > 0 && !options.overwrite)
        return refuse(tablePath.string() +
                      ": the table of an earlier run is there; --overwrite replaces it");
    if (!table.truncate(0) || !table.append(tableHeader(options.pxPerMm.has_value())))
        return refuse(tablePath.string() + ": the table cannot be written");

    RunOutcome outcome;
    bool recordFailed = false;
    const auto writeRecord = [&] {
        const std::string text = runRecordText(options, inputs.items, outcome);
        if (writeFileReplacing(recordPath.string(), text)) return;
        recordFailed = true;
        log << "quendra-batch: " << recordPath.string() << ": the run record cannot be written\n";
    };
    writeRecord();

    const StopSignals signals;
    const bool hasVideo =
        std::any_of(inputs.items.begin(), inputs.items.end(),
                    [](const BatchItem& i) { return i.kind == MediaKind::Video; });
    int jobs =
        options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    if (!hasVideo) jobs = std::min<int>(jobs, static_cast<int>(inputs.items.size()));
    jobs = std::max(jobs, 1);

    FrameQueue queue(inputs.items, options.every, 2 * static_cast<std::size_t>(jobs));
    OrderedWriter writer(inputs.items, options.every, table, tablePath.string(), queue, log,
                         options.quiet);
    const auto work = [&] {
        FrameAnalyser analyser(options, classifier);
        WorkUnit unit;
        while (stopSignal == 0 && queue.next(unit)) {
            UnitResult result = analyser.analyse(inputs.items[unit.item], unit);
            writer.submit(unit, std::move(result));
        }
        queue.stop();
    };
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j) workers.emplace_back(work);
    work();
    for (std::thread& w : workers) w.join();

    outcome = writer.finish();
    outcome.problems.insert(outcome.problems.begin(), inputs.problems.begin(),
                            inputs.problems.end());
    if (!table.sync() && !writer.tableFailed())
        outcome.problems.push_back(tablePath.string() + ": the table cannot be written");
    if (stopSignal != 0) {
        outcome.status = "interrupted";
        outcome.exitStatus = 128 + stopSignal;
        log << "quendra-batch: stopped by " << (stopSignal == SIGINT ? "SIGINT" : "SIGTERM")
            << "; the table keeps every finished frame\n";
    } else {
        outcome.status = writer.tableFailed() ? "stopped" : "finished";
        outcome.exitStatus = outcome.problems.empty() ? 0 : 1;
    }
    writeRecord();
    return recordFailed && outcome.exitStatus == 0 ? 1 : outcome.exitStatus;
}

}  // namespace quendra
