#include "batch/RunRecord.h"

#include <nlohmann/json.hpp>

#include "batch/BatchTable.h"

namespace quendra {

namespace {

using Json = nlohmann::ordered_json;

// Everything that decides the table's rows and the outputs.
Json settingsOf(const BatchOptions& o) {
    const AnalysisSettings& a = o.analysis;
    return {{"threshold", a.autoThreshold ? Json("auto") : Json(a.threshold)},
            {"border", a.border},
            {"filter", a.filter},
            {"class_threshold", a.autoClassThreshold ? Json("auto") : Json(a.classThreshold)},
            {"min_canal_area", a.minCanalArea},
            {"min_canal_mm2", o.minCanalMm2 ? Json(*o.minCanalMm2) : Json(nullptr)},
            {"teeth", kTeethNames[static_cast<int>(a.teeth)]},
            {"min_tooth_area", a.minToothArea},
            {"shape_limits", shapeLimitsText(a.shapeLimits)},
            {"every", o.every},
            {"px_per_mm", o.pxPerMm ? Json(*o.pxPerMm) : Json(nullptr)},
            {"scale", o.scale.empty() ? Json(nullptr) : Json(utf8Text(o.scale))},
            {"overlays", kOverlaysNames[static_cast<int>(o.overlays)]},
            {"texts", o.texts},
            {"masks", o.masks},
            {"shard", std::to_string(o.shard) + "/" + std::to_string(o.shards)}};
}

Json inputsOf(const std::vector<BatchItem>& items) {
    Json inputs = Json::array();
    for (const BatchItem& item : items) inputs.push_back(utf8Text(item.path));
    return inputs;
}

}  // namespace

std::string runRecordText(const BatchOptions& o, const std::vector<BatchItem>& items,
                          const RunOutcome& outcome) {
    std::error_code ec;
    const auto classesBytes = std::filesystem::file_size(o.classes, ec);
    Json problems = Json::array();
    for (const std::string& p : outcome.problems) problems.push_back(utf8Text(p));
    const Json record = {
        {"program", "quendra-batch"},
        {"version", QUENDRA_VERSION},
        {"classes", utf8Text(o.classes)},
        {"classes_bytes", ec ? 0 : classesBytes},
        {"settings", settingsOf(o)},
        {"class_threshold_used", outcome.classThreshold},
        {"inputs", inputsOf(items)},
        {"status", outcome.status},
        {"items_done", outcome.itemsDone},
        {"items", items.size()},
        {"frames_done", outcome.framesDone},
        {"problems", problems},
        {"exit_status", outcome.exitStatus >= 0 ? Json(outcome.exitStatus) : Json(nullptr)},
    };
    return record.dump(2) + "\n";
}

std::vector<std::string> problemsOf(const std::string& recordText) {
    const Json record = Json::parse(recordText, nullptr, false);
    std::vector<std::string> problems;
    if (!record.is_object() || !record.contains("problems") || !record["problems"].is_array())
        return problems;
    for (const Json& p : record["problems"])
        if (p.is_string()) problems.push_back(p.get<std::string>());
    return problems;
}

bool sameRun(const std::string& recordText, const BatchOptions& o,
             const std::vector<BatchItem>& items, std::string& difference) {
    const Json record = Json::parse(recordText, nullptr, false);
    if (record.is_discarded() || !record.is_object()) {
        difference = "its run record cannot be read";
        return false;
    }
    if (record.value("settings", Json()) != settingsOf(o)) {
        difference = "its settings were " + record.value("settings", Json()).dump();
        return false;
    }
    if (record.value("inputs", Json()) != inputsOf(items)) {
        difference = "its inputs were others";
        return false;
    }
    return true;
}

}  // namespace quendra
