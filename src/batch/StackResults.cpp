#include "batch/StackResults.h"

#include <map>
#include <sstream>
#include <utility>

#include "analysis/CanalMeasures.h"
#include "batch/BatchTable.h"
#include "batch/CsvRecords.h"
#include "report/CanalProfileSvg.h"

namespace quendra {

std::string stacksTableHeader() {
    return "stack,tooth,first_slice,last_slice,configuration,vertucci,canals_max,divisions,"
           "junctions,length_mm,four_digit,note\r\n";
}

std::string canalsTableHeader() {
    return "stack,root,canal,first_slice,last_slice,slices,length_mm,volume_voxels,volume_mm3,"
           "diameter_min_px,diameter_mean_px,diameter_max_px,diameter_min_mm,diameter_mean_mm,"
           "diameter_max_mm,from_canals,into_canals\r\n";
}

namespace {

std::string numbers(const std::vector<int>& list) {
    std::string text;
    for (const int n : list) text += (text.empty() ? "" : " ") + std::to_string(n);
    return text;
}

// The stack's held rows of the run's table with each canal row's number (by slice and the
// canal's label there: a slice's k-th canal row is its section's canal k) in the last column.
std::string numberedRows(const std::vector<std::pair<int, std::string>>& held,
                         const std::vector<CanalRun>& canals) {
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
            const bool canal = record.fields.size() > 2 && record.fields[2].starts_with("canal ");
            const auto it = canal ? numberOf.find({slice, ++label}) : numberOf.end();
            if (it != numberOf.end() && row.ends_with("\r\n"))
                row.insert(row.size() - 2, std::to_string(it->second));
            rows += row;
        });
    }
    return rows;
}

}  // namespace

std::string canalRows(const std::string& stack, const std::vector<CanalRun>& canals,
                      std::optional<double> pxPerMm, std::optional<double> sliceMm) {
    const std::string name = csvField(utf8Text(stack));
    std::ostringstream rows;
    rows.precision(10);
    const auto optional = [&](std::optional<double> v) {
        if (v) rows << *v;
        rows << ',';
    };
    for (const CanalRun& c : canals) {
        const CanalMeasure m = measureCanal(c, pxPerMm, sliceMm);
        rows << name << ',' << c.root << ',' << c.number << ',' << m.firstSlice << ','
             << m.lastSlice << ',' << c.sections.size() << ',';
        optional(m.lengthMm);
        rows << m.volumeVoxels << ',';
        optional(m.volumeMm3);
        rows << m.diameterMinPx << ',' << m.diameterMeanPx << ',' << m.diameterMaxPx << ',';
        optional(m.diameterMinMm);
        optional(m.diameterMeanMm);
        optional(m.diameterMaxMm);
        rows << numbers(c.coronal) << ',' << numbers(c.apical) << "\r\n";
    }
    return rows.str();
}

std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm) {
    const std::string name = csvField(utf8Text(stack));
    if (roots.empty()) return name + ",,,,,,,,,,,\r\n";
    std::ostringstream rows;
    rows.precision(10);
    for (const RootConfiguration& r : roots) {
        rows << name << ',' << r.root << ',' << r.firstSlice << ',' << r.lastSlice << ','
             << r.configuration << ',' << r.vertucci << ',' << r.canalsMax << ',' << r.divisions
             << ',' << r.junctions << ',';
        if (sliceMm) rows << (r.lastSlice - r.firstSlice + 1) * *sliceMm;
        rows << ',' << r.fourDigit << ',' << csvField(r.note) << "\r\n";
    }
    return rows.str();
}

std::optional<std::string> stackRowsKept(std::string_view table,
                                         const std::unordered_set<std::string>& finished,
                                         const std::string& header) {
    if (!table.starts_with(header)) return std::nullopt;
    std::string kept = header;
    std::size_t begin = 0;
    forEachCsvRecord(table, [&](const CsvRecord& record) {
        if (begin > 0 && finished.contains(record.fields[0]))
            kept.append(table.substr(begin, record.end - begin));
        begin = record.end;
    });
    return kept;
}

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
    end.tableRows = numberedRows(heldRows, canalRuns);
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
