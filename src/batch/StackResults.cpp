#include "batch/StackResults.h"

#include <map>
#include <sstream>
#include <utility>

#include "io/CsvRecords.h"
#include "io/TableFile.h"
#include "io/Utf8Text.h"
#include "report/CanalProfileSvg.h"
#include "results/ResultsTable.h"
#include "results/StacksTable.h"

namespace quendra {

namespace {

// The stack's held rows of the run's table (written in `columns`) with each canal row's number
// (by slice and the canal's label there: a slice's k-th canal row is its section's canal k).
std::string numberedRows(const std::vector<std::pair<int, std::string>>& held,
                         const std::vector<CanalRun>& canals,
                         const ColumnPlaces<ResultsColumn>& columns) {
    std::map<std::pair<int, int>, int> numberOf;  // (slice, label) -> canal
    for (const CanalRun& c : canals)
        for (const CanalSection& s : c.sections) numberOf[{s.slice, s.label}] = c.number;
    std::string rows;
    for (const auto& [slice, text] : held) {
        std::size_t begin = 0;
        int label = 0;
        forEachCsvRecord(text, [&](const CsvRecord& record) {
            std::string row = text.substr(begin, record.end - begin);
            begin = record.end;
            const bool canal =
                readObject(columns.cell(record.fields, ResultsColumn::Object)).object ==
                RowObject::Canal;
            const auto it = canal ? numberOf.find({slice, ++label}) : numberOf.end();
            rows += it != numberOf.end() ? withCanalNumber(std::move(row), it->second) : row;
        });
    }
    return rows;
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
        return std::nullopt;
    }
    try {
        tracker->addSlice(*section);
    } catch (const std::invalid_argument&) {
        tracker->skipSlice();
        return utf8Text(item.path) + ", slice " + std::to_string(slice) +
               ": its size differs from the slices before; its canals are not followed";
    }
    return std::nullopt;
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
    if (chain != PageChain::Whole) canalRuns.clear();
    end.tableRows = numberedRows(heldRows, canalRuns, writtenColumns(options.millimetres()));
    heldRows.clear();
    const std::string n = std::to_string(slices);
    if (chain == PageChain::CutShort) {
        end.problem = utf8Text(item.path) + ": the file ends after page " + n +
                      ", though it names further pages (a copy cut short?): its pages are "
                      "analysed, its roots not named, since they would be those of a part of it";
        return end;
    }
    if (chain == PageChain::LoopsBack) {
        end.problem = utf8Text(item.path) + ": its page chain loops back after page " + n +
                      "; pages 1 to " + n +
                      " are read and analysed, its roots not named, since they could be those "
                      "of a part of it";
        return end;
    }
    const auto svg = outputPath(item, Output::CanalsSvg);
    std::error_code ec;
    std::filesystem::create_directories(svg.parent_path(), ec);
    if (!saveCanalProfileSvg(svg.string(), utf8Text(item.path), roots, slices, options.apexFirst,
                             Durability::Deferred))
        end.problem = svg.string() + ": cannot be written";
    end.rows = stackRows(item.path, roots, item.sliceMm);
    end.canalRows = canalRows(item.path, canalRuns, item.pxPerMm, item.sliceMm);
    end.notes = rootNotes(roots, leftOut);
    return end;
}

}  // namespace quendra
