#pragma once

// The run after every check passed, its files open (RunStart.h): its workers analyse the
// frames, the writer puts them in order (OrderedWriter.h), and the run record follows with
// the problems named on the way, until it says how the run ended; the report page comes last.

#include <exception>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/FrameQueue.h"
#include "batch/OrderedWriter.h"
#include "batch/RunStart.h"
#include "colour/ColorClassifier.h"
#include "io/FileWriting.h"

namespace quendra {

// What a resource failure was, in the words a user can act on.
std::string reasonOf(const std::exception& e);

class CheckedRun {
public:
    CheckedRun(const BatchOptions& options, const std::vector<BatchItem>& items,
               const ColorClassifier& classifier, std::ostream& log, const RunSources& sources,
               const std::vector<std::string>& warnings);

    // Runs from where `start` says; the exit status, as runBatch gives it.
    int go(bool terminal, RunStart& start, const RunFiles& files);

private:
    void writeRecord(Durability durability);
    std::string analyseFrames(bool terminal, RunStart& start, const RunFiles& files);
    std::string runWorkers(int jobs, FrameQueue& queue, OrderedWriter& writer,
                           const RunStart& start, const RunFiles& files);
    void startWorkers(int jobs, const std::function<void()>& work);
    void takeWritten(const OrderedWriter::Done& done, const std::vector<std::string>& problems,
                     const std::vector<StackRecord>& stacks);
    bool nameTableProblems(RunStart& start, const RunFiles& files);
    void settle(bool stopped);
    void writeReport(const RunFiles& files);

    const BatchOptions& options;
    const std::vector<BatchItem>& items;
    const ColorClassifier& classifier;
    std::ostream& log;
    const std::string recordStart;  // what the run is, in every record
    std::filesystem::path recordPath;
    RunOutcome outcome;
    std::vector<std::string> earlier;  // named before the workers started
    bool recordFailed = false;
    bool tableFailed = false;  // a table could not be written, which stopped the run
    std::vector<std::thread> workers;
};

}  // namespace quendra
