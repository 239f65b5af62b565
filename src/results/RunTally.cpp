#include "results/RunTally.h"

#include <charconv>
#include <optional>
#include <unordered_set>

#include "analysis/ToothType.h"
#include "io/CsvRecords.h"
#include "results/ResultsTable.h"

namespace quendra {

namespace {

// The whole of `text` as a number; none for other text.
template <typename Number>
std::optional<Number> parsed(std::string_view text) {
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

void add(std::vector<double>& values, std::optional<double> value) {
    if (value) values.push_back(*value);
}

}  // namespace

RunTally tallyTable(std::string_view table) {
    using C = ResultsColumn;
    RunTally tally;
    std::optional<ColumnPlaces<C>> columns;
    std::unordered_set<std::string> files;
    std::string toothType;  // of the last tooth row, which the canal rows after it belong to
    forEachCsvRecord(table, [&](const CsvRecord& r) {
        if (!columns) {
            columns.emplace(resultsColumnsIn(r.fields));
            tally.caliperFromFeret = columns->has(C::FeretMaxPx) && columns->has(C::FeretMinPx);
            return;
        }
        if (!columns->has(C::File) || !columns->has(C::Object) || !columns->has(C::Type)) return;
        const auto field = [&](C column) { return columns->cell(r.fields, column); };
        const std::string_view file = field(C::File);
        const RowObject object = readObject(field(C::Object)).object;
        const std::string_view frameText = field(C::Frame);
        int frame = -1;
        std::from_chars(frameText.data(), frameText.data() + frameText.size(), frame);
        const bool newFrame = tally.frameList.empty() || tally.frameList.back().file != file ||
                              tally.frameList.back().frame != frame;
        if (newFrame) {
            tally.frameList.push_back({std::string(file), frame, FrameOutcome::NoTooth, {}});
            if (files.emplace(file).second) ++tally.items;
        }
        FrameEntry& entry = tally.frameList.back();
        if (object == RowObject::None) {
            ++tally.noTooth;
        } else if (object == RowObject::Tooth) {
            ++tally.teeth;
            toothType = field(C::Type);
            ++tally.toothTypes[toothType];
            const auto canals = parsed<std::size_t>(field(C::Canals));
            if (canals && !canalsDecideType(*canals)) ++tally.notRecognised;
            if (entry.type.empty()) {
                entry.type = toothType;
                entry.outcome = FrameOutcome::NoCanal;
            }
        } else if (object == RowObject::Canal) {
            ++tally.canals;
            entry.outcome = FrameOutcome::Canals;
            CanalMeasures& m = tally.canalsByType[toothType];
            add(m.areaPx, parsed<double>(field(C::AreaPx)));
            add(m.areaMm2, parsed<double>(field(C::AreaMm2)));
            add(m.circularity, parsed<double>(field(C::Circularity)));
            if (tally.caliperFromFeret) {
                const auto longest = parsed<double>(field(C::FeretMaxPx));
                const auto shortest = parsed<double>(field(C::FeretMinPx));
                if (longest && shortest && *shortest > 0)
                    m.caliperRatio.push_back(*longest / *shortest);
            } else {
                add(m.caliperRatio, parsed<double>(field(C::AspectRatio)));
            }
            if (const std::string_view shape = field(C::Shape); !shape.empty())
                ++m.shapes[std::string(shape)];
        }
    });
    tally.frames = tally.frameList.size();
    return tally;
}

}  // namespace quendra
