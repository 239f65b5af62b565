#include "batch/RunRecord.h"

#include <nlohmann/json.hpp>

#include "batch/BatchTable.h"

namespace quendra {

std::string runRecordText(const BatchOptions& o, const std::vector<BatchItem>& items,
                          const RunOutcome& outcome) {
    using nlohmann::json;
    std::error_code ec;
    const auto classesBytes = std::filesystem::file_size(o.classes, ec);
    json inputs = json::array();
    for (const BatchItem& item : items) inputs.push_back(utf8Text(item.path));
    json problems = json::array();
    for (const std::string& p : outcome.problems) problems.push_back(utf8Text(p));
    const json record = {
        {"program", "quendra-batch"},
        {"version", QUENDRA_VERSION},
        {"classes", utf8Text(o.classes)},
        {"classes_bytes", ec ? 0 : classesBytes},
        {"settings",
         {{"threshold", o.threshold},
          {"border", o.border},
          {"filter", o.filter},
          {"class_threshold", o.classThreshold},
          {"every", o.every},
          {"px_per_mm", o.pxPerMm ? json(*o.pxPerMm) : json(nullptr)}}},
        {"inputs", inputs},
        {"status", outcome.status},
        {"items_done", outcome.itemsDone},
        {"items", items.size()},
        {"frames_done", outcome.framesDone},
        {"problems", problems},
        {"exit_status", outcome.exitStatus >= 0 ? json(outcome.exitStatus) : json(nullptr)},
    };
    return record.dump(2) + "\n";
}

}  // namespace quendra
