#include "batch/StackResults.h"

#include <cerrno>
#include <map>
#include <sstream>
#include <utility>

#include "analysis/CanalLevels.h"
#include "io/CsvRecords.h"
#include "io/TableFile.h"
#include "io/Utf8Text.h"
#include "report/CanalProfileSvg.h"
#include "results/ResultsTable.h"
#include "results/StacksTable.h"

namespace quendra {

namespace {

using HeldRows = std::vector<std::pair<int, std::string>>;  // by slice

// Hands `take` each of the held rows (written in `columns`) in order: its slice, the canal's
// label in that slice for a canal row (a slice's k-th canal row is its section's canal k) or
// 0, its text and its fields.
template <typename Take>
void forEachHeldRow(const HeldRows& held, const ColumnPlaces<ResultsColumn>& columns, Take take) {
    for (const auto& [slice, text] : held) {
        std::size_t begin = 0;
        int label = 0;
        forEachCsvRecord(text, [&](const CsvRecord& record) {
            const bool canal =
                readObject(columns.cell(record.fields, ResultsColumn::Object)).object ==
                RowObject::Canal;
            take(slice, canal ? ++label : 0, text.substr(begin, record.end - begin), record.fields);
            begin = record.end;
        });
    }
}

// The stack's held rows with each canal row's number.
std::string numberedRows(const HeldRows& held, const std::vector<CanalRun>& canals,
                         const ColumnPlaces<ResultsColumn>& columns) {
    std::map<std::pair<int, int>, int> numberOf;  // (slice, label) -> canal
    for (const CanalRun& c : canals)
        for (const CanalSection& s : c.sections) numberOf[{s.slice, s.label}] = c.number;
    std::string rows;
    forEachHeldRow(
        held, columns, [&](int slice, int label, std::string row, const std::vector<std::string>&) {
            const auto it = label > 0 ? numberOf.find({slice, label}) : numberOf.end();
            rows += it != numberOf.end() ? withCanalNumber(std::move(row), it->second) : row;
        });
    return rows;
}

// Writes the stack's label volume with its canals' numbers; a failure is one of `end`'s
// problems. A stack none of whose slices was analysed has none.
void writeVolume(const LabelVolume& volume, const BatchItem& item,
                 const std::vector<CanalRun>& canals, StackResults::End& end) {
    if (volume.sliceSize().empty()) return;
    const std::string path = outputPath(item, Output::CanalsTif).string();
    std::string reason;
    if (volume.write(path, canalNumbersBySlice(canals, volume.sliceCount()), item.pxPerMm,
                     item.sliceMm, reason, Durability::Deferred))
        return;
    end.outOfSpace = errno == ENOSPC || errno == EFBIG;
    end.problems.push_back(path + ": cannot be written (" + reason + ")");
}

}  // namespace

std::vector<std::string> rootNotes(const std::vector<RootConfiguration>& roots,
                                   const RootsLeftOut& leftOut) {
    std::vector<std::string> notes;
    for (const RootConfiguration& r : roots)
        if (!r.note.empty()) notes.push_back("root " + std::to_string(r.root) + ": " + r.note);
    if (leftOut.total() == 0) return notes;
    std::ostringstream out;
    out << leftOut.total() << " tooth regions followed through the slices are no roots:";
    const char* separator = " ";
    const auto part = [&](int count, const auto& why) {
        if (count > 0) out << std::exchange(separator, ", ") << count << ' ' << why;
    };
    part(leftOut.fewSlices, "seen in fewer than " + std::to_string(kRootMinSlices) + " slices");
    part(leftOut.noCanal, "without a canal (the crown, specks)");
    std::ostringstream share;
    share << kRootShareOfLargest;
    part(leftOut.small, "smaller than " + share.str() + " of the largest root");
    notes.push_back(out.str());
    return notes;
}

StackResults::StackResults(const BatchOptions& o) : options(o) {}

std::optional<std::string> StackResults::addSlice(const BatchItem& item, int slice,
                                                  const std::optional<SliceSection>& section,
                                                  bool teethLeftOut, std::string& rows) {
    if (current != &item || !tracker) {
        current = &item;
        tracker.emplace(TrackingSettings{.minRun = options.minRun});
        volume.reset();
        if (options.masks) volume.emplace();
        slicesWithTeethLeftOut = 0;
        heldRows.clear();
    }
    if (!rows.empty()) heldRows.emplace_back(slice, std::move(rows));
    rows.clear();
    slicesWithTeethLeftOut += teethLeftOut;
    // A slice that is passed over keeps the slices after it numbered as the stack has them.
    while (tracker->sliceCount() + 1 < slice) tracker->skipSlice();
    if (!section || section->roots.empty()) {
        tracker->skipSlice();
        addLabels(slice, cv::Mat());
        return std::nullopt;
    }
    try {
        tracker->addSlice(*section);
    } catch (const std::invalid_argument&) {
        tracker->skipSlice();
        addLabels(slice, cv::Mat());
        return utf8Text(item.path) + ", slice " + std::to_string(slice) +
               ": its size differs from the slices before; its canals are not followed";
    }
    addLabels(slice, section->canals);
    return std::nullopt;
}

void StackResults::addLabels(int slice, const cv::Mat& canals) {
    if (!volume) return;
    while (volume->sliceCount() + 1 < slice) volume->addSlice(cv::Mat());
    volume->addSlice(canals);
}

std::string StackResults::levelRows(const BatchItem& item,
                                    const std::vector<RootConfiguration>& roots,
                                    const std::vector<CanalRun>& canals) const {
    if (options.levelsMm.empty() || !item.sliceMm || !item.pxPerMm) return {};
    const ColumnPlaces<ResultsColumn> columns = writtenColumns(options.millimetres());
    std::map<std::pair<int, int>, std::vector<std::string>> fieldsOf;  // (slice, label)
    forEachHeldRow(
        heldRows, columns,
        [&](int slice, int label, const std::string&, const std::vector<std::string>& fields) {
            if (label > 0) fieldsOf.emplace(std::pair{slice, label}, fields);
        });
    const auto cellsAt = [&](int slice, int label) -> std::optional<CanalCells> {
        const auto it = fieldsOf.find({slice, label});
        if (it == fieldsOf.end()) return std::nullopt;
        return CanalCells{it->second, columns};
    };
    std::string rows;
    for (const RootConfiguration& root : roots)
        rows += quendra::levelRows(
            item.path, root.root,
            rootLevels(root, canals, options.levelsMm, *item.sliceMm, options.apexFirst), cellsAt);
    return rows;
}

StackResults::End StackResults::finish(const BatchItem& item, PageChain chain) {
    End end;
    std::vector<RootConfiguration> roots;
    std::vector<CanalRun> canalRuns;
    int slices = 0;
    RootsLeftOut leftOut;
    if (current == &item && tracker) {
        roots = tracker->roots(options.apexFirst, &leftOut, &canalRuns);
        slices = tracker->sliceCount();
        // Roots of a similar size take turns at being the largest, each a root of its own
        // for a few slices.
        if (slicesWithTeethLeftOut > 0)
            end.note = utf8Text(item.path) + ": " + std::to_string(slicesWithTeethLeftOut) +
                       " slices show further roots, left out as --teeth largest asks; --teeth "
                       "all follows every root";
    }
    current = nullptr;
    tracker.reset();
    const std::optional<LabelVolume> labels = std::exchange(volume, std::nullopt);
    if (chain != PageChain::Whole) canalRuns.clear();
    end.tableRows = numberedRows(heldRows, canalRuns, writtenColumns(options.millimetres()));
    if (chain == PageChain::Whole) end.levelRows = levelRows(item, roots, canalRuns);
    heldRows.clear();
    const std::string n = std::to_string(slices);
    if (chain == PageChain::CutShort) {
        end.problems.push_back(
            utf8Text(item.path) + ": the file ends after page " + n +
            ", though it names further pages (a copy cut short?): its pages are analysed, its "
            "roots not named, since they would be those of a part of it");
        return end;
    }
    if (chain == PageChain::LoopsBack) {
        end.problems.push_back(utf8Text(item.path) + ": its page chain loops back after page " + n +
                               "; pages 1 to " + n +
                               " are read and analysed, its roots not named, since they could "
                               "be those of a part of it");
        return end;
    }
    const auto svg = outputPath(item, Output::CanalsSvg);
    std::error_code ec;
    std::filesystem::create_directories(svg.parent_path(), ec);
    if (!saveCanalProfileSvg(svg.string(), utf8Text(item.path), roots, slices, options.apexFirst,
                             Durability::Deferred))
        end.problems.push_back(svg.string() + ": cannot be written");
    if (labels) writeVolume(*labels, item, canalRuns, end);
    end.rows = stackRows(item.path, roots, item.sliceMm);
    end.canalRows = canalRows(item.path, canalRuns, item.pxPerMm, item.sliceMm);
    end.notes = rootNotes(roots, leftOut);
    return end;
}

}  // namespace quendra
