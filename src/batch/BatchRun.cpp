#include "batch/BatchRun.h"

#include <algorithm>
#include <optional>

#include "batch/BatchInputs.h"
#include "batch/CheckedRun.h"
#include "batch/IdleOptions.h"
#include "batch/Progress.h"
#include "batch/RunChecks.h"
#include "batch/RunGuards.h"
#include "batch/RunStart.h"
#include "batch/ScaleFile.h"
#include "colour/ColorClassifier.h"
#include "io/DicomSeries.h"
#include "io/SliceStack.h"

namespace quendra {

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
            return "the colour-class file cannot be read: " + read.reason;
    }
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

// Gives the inputs their scales (assignScales) and says the run's warnings, with those of
// options the inputs give nothing to do; the problem that refuses the run, or nothing.
std::optional<std::string> scaleInputs(std::vector<BatchItem>& items, BatchOptions& options,
                                       std::ostream& log, std::vector<std::string>& warnings) {
    std::string problem;
    const bool scaled = assignScales(items, options, log, problem, warnings);
    if (scaled) {
        const auto idle = idleOptionWarnings(options, items);
        warnings.insert(warnings.end(), idle.begin(), idle.end());
    }
    for (const std::string& w : warnings) say(log, "warning: " + w);
    if (!scaled) return problem;
    // Millimetre columns also when only the inputs' files give a scale.
    options.filesGiveScales = std::any_of(items.begin(), items.end(),
                                          [](const BatchItem& i) { return i.pxPerMm.has_value(); });
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
    const ClassFileRead classRead = loadColorClassifier(options.classes, classifier);
    if (classRead.status != ClassFileStatus::Ok)
        return refuse(options.classes + ": " + describe(classRead));

    BatchInputs inputs = collectInputs(options.inputs, options.out, options.stackFolders);
    for (const std::string& p : inputs.problems) say(log, p);
    for (const std::string& n : inputs.notes) say(log, n);
    if (inputs.items.empty()) return refuse("no picture or video to analyse");
    // Of the whole run, in every shard's record.
    std::vector<std::string> warnings = sparseClassWarnings(options.classes, classifier);
    if (const auto p = scaleInputs(inputs.items, withScales, log, warnings)) return refuse(*p);
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
    RunStart start;
    start.named = inputs.problems;
    const bool withStacks =
        std::any_of(inputs.items.begin(), inputs.items.end(),
                    [](const BatchItem& i) { return i.kind == MediaKind::Stack; });
    if (const auto p = startRun(start, made, options, items, withStacks, files, log)) {
        made.undo();
        return refuse(*p);
    }
    CheckedRun run(options, items, classifier, log, start.sources, warnings);
    return run.go(terminal, start, files);
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
