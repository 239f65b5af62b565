#include "batch/RunTally.h"

#include <charconv>
#include <optional>
#include <unordered_set>

#include "analysis/ToothResult.h"
#include "analysis/ToothType.h"
#include "io/CsvRecords.h"
#include "overlay/ResultOverlay.h"

namespace quendra {

namespace {

// The place of each column the tally reads, by name; -1 where the table has none.
struct Columns {
    int file = -1, frame = -1, object = -1, type = -1, areaPx = -1, areaMm2 = -1, circularity = -1,
        aspectRatio = -1, feretMax = -1, feretMin = -1, shape = -1;

    explicit Columns(const std::vector<std::string>& header) {
        const std::pair<const char*, int*> wanted[] = {{"file", &file},
                                                       {"frame", &frame},
                                                       {"object", &object},
                                                       {"type", &type},
                                                       {"area_px", &areaPx},
                                                       {"area_mm2", &areaMm2},
                                                       {"circularity", &circularity},
                                                       {"aspect_ratio", &aspectRatio},
                                                       {"feret_max_px", &feretMax},
                                                       {"feret_min_px", &feretMin},
                                                       {"shape", &shape}};
        for (int i = 0; i < static_cast<int>(header.size()); ++i)
            for (const auto& [name, place] : wanted)
                if (header[static_cast<std::size_t>(i)] == name) *place = i;
    }
    bool readable() const { return file >= 0 && object >= 0 && type >= 0; }
};

std::string_view field(const CsvRecord& r, int column) {
    return column >= 0 && static_cast<std::size_t>(column) < r.fields.size()
               ? std::string_view(r.fields[static_cast<std::size_t>(column)])
               : std::string_view();
}

std::optional<double> number(std::string_view text) {
    double value = 0;
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
    RunTally tally;
    std::optional<Columns> columns;
    std::unordered_set<std::string> files;
    std::string toothType;  // of the last tooth row, which the canal rows after it belong to
    forEachCsvRecord(table, [&](const CsvRecord& r) {
        if (!columns) {
            columns.emplace(r.fields);
            tally.caliperFromFeret = columns->feretMax >= 0 && columns->feretMin >= 0;
            return;
        }
        if (!columns->readable()) return;
        const std::string_view file = field(r, columns->file), object = field(r, columns->object);
        const std::string_view frameText = field(r, columns->frame);
        int frame = -1;
        std::from_chars(frameText.data(), frameText.data() + frameText.size(), frame);
        const bool newFrame = tally.frameList.empty() || tally.frameList.back().file != file ||
                              tally.frameList.back().frame != frame;
        if (newFrame) {
            tally.frameList.push_back({std::string(file), frame, FrameOutcome::NoTooth, {}});
            if (files.emplace(file).second) ++tally.items;
        }
        FrameEntry& entry = tally.frameList.back();
        if (object == "none") {
            ++tally.noTooth;
        } else if (object == "tooth") {
            ++tally.teeth;
            toothType = field(r, columns->type);
            ++tally.toothTypes[toothType];
            if (toothType == toothTypeText(ToothUnknown)) ++tally.notRecognised;
            if (entry.type.empty()) {
                entry.type = toothType;
                entry.outcome = FrameOutcome::NoCanal;
            }
        } else if (object.substr(0, 6) == "canal ") {
            ++tally.canals;
            entry.outcome = FrameOutcome::Canals;
            CanalMeasures& m = tally.canalsByType[toothType];
            add(m.areaPx, number(field(r, columns->areaPx)));
            add(m.areaMm2, number(field(r, columns->areaMm2)));
            add(m.circularity, number(field(r, columns->circularity)));
            if (tally.caliperFromFeret) {
                const auto longest = number(field(r, columns->feretMax));
                const auto shortest = number(field(r, columns->feretMin));
                if (longest && shortest && *shortest > 0)
                    m.caliperRatio.push_back(*longest / *shortest);
            } else {
                add(m.caliperRatio, number(field(r, columns->aspectRatio)));
            }
            if (const std::string_view shape = field(r, columns->shape); !shape.empty())
                ++m.shapes[std::string(shape)];
        }
    });
    tally.frames = tally.frameList.size();
    return tally;
}

}  // namespace quendra
