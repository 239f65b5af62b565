#include "batch/StackResults.h"

#include <sstream>
#include <utility>

#include "batch/BatchTable.h"
#include "batch/CsvRecords.h"
#include "report/CanalProfileSvg.h"

namespace quendra {

std::string stacksTableHeader() {
    return "stack,tooth,first_slice,last_slice,configuration,vertucci,canals_max,divisions,"
           "junctions,length_mm,note\r\n";
}

std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm) {
    const std::string name = csvField(utf8Text(stack));
    if (roots.empty()) return name + ",,,,,,,,,,\r\n";
    std::ostringstream rows;
    rows.precision(10);
    for (const RootConfiguration& r : roots) {
        rows << name << ',' << r.root << ',' << r.firstSlice << ',' << r.lastSlice << ','
             << r.configuration << ',' << r.vertucci << ',' << r.canalsMax << ',' << r.divisions
             << ',' << r.junctions << ',';
        if (sliceMm) rows << (r.lastSlice - r.firstSlice + 1) * *sliceMm;
        rows << ',' << csvField(r.note) << "\r\n";
    }
    return rows.str();
}

std::optional<std::string> stackRowsKept(std::string_view table,
                                         const std::unordered_set<std::string>& finished) {
    const std::string header = stacksTableHeader();
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
                                                  bool teethLeftOut) {
    if (current != &item || !tracker) {
        current = &item;
        tracker.emplace(TrackingSettings{.minRun = options.minRun});
        slicesWithTeethLeftOut = 0;
    }
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

StackResults::End StackResults::finish(const BatchItem& item, bool cutShort) {
    End end;
    std::vector<RootConfiguration> roots;
    int slices = 0;
    RootsLeftOut leftOut;
    if (current == &item && tracker) {
        roots = tracker->roots(options.apexFirst, &leftOut);
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
    if (cutShort) {
        end.problem = utf8Text(item.path) + ": the file ends after page " + std::to_string(slices) +
                      ", though it names further pages (a copy cut short?): its pages are "
                      "analysed, its roots not named, since they would be those of a part of it";
        return end;
    }
    const auto svg = outputPath(item, Output::CanalsSvg);
    std::error_code ec;
    std::filesystem::create_directories(svg.parent_path(), ec);
    if (!saveCanalProfileSvg(svg.string(), utf8Text(item.path), roots, slices, options.apexFirst,
                             Durability::Deferred))
        end.problem = svg.string() + ": cannot be written";
    end.rows = stackRows(item.path, roots, item.sliceMm);
    end.notes = rootNotes(roots, leftOut);
    return end;
}

}  // namespace quendra
