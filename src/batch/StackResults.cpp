#include "batch/StackResults.h"

#include <sstream>

#include "batch/BatchTable.h"
#include "batch/CsvRecords.h"
#include "report/CanalProfileSvg.h"

namespace quendra {

std::string stacksTableHeader() {
    return "stack,tooth,first_slice,last_slice,configuration,vertucci,canals_max,divisions,"
           "junctions,length_mm\r\n";
}

std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm) {
    const std::string name = csvField(utf8Text(stack));
    if (roots.empty()) return name + ",,,,,,,,,\r\n";
    std::ostringstream rows;
    rows.precision(10);
    for (const RootConfiguration& r : roots) {
        rows << name << ',' << r.root << ',' << r.firstSlice << ',' << r.lastSlice << ','
             << r.configuration << ',' << r.vertucci << ',' << r.canalsMax << ',' << r.divisions
             << ',' << r.junctions << ',';
        if (sliceMm) rows << (r.lastSlice - r.firstSlice + 1) * *sliceMm;
        rows << "\r\n";
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
    if (current == &item && tracker) {
        roots = tracker->roots(options.apexFirst);
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
    end.rows = stackRows(item.path, roots, options.sliceMm);
    return end;
}

}  // namespace quendra
