#include "batch/RunRecord.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "batch/BatchTable.h"

namespace quendra {

namespace {

using Json = nlohmann::ordered_json;

// Everything that decides the table's rows and the outputs.
Json settingsOf(const BatchOptions& o) {
    return {{"threshold", o.threshold},
            {"border", o.border},
            {"filter", o.filter},
            {"class_threshold", o.classThreshold},
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

std::string utcTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string runRecordText(const BatchOptions& o, const std::vector<BatchItem>& items,
                          const RunOutcome& outcome) {
    std::error_code ec;
    const auto classesBytes = std::filesystem::file_size(o.classes, ec);
    Json problems = Json::array();
    for (const std::string& p : outcome.problems) problems.push_back(utf8Text(p));
    Json commandLine = Json::array({"quendra-batch"});
    for (const std::string& arg : o.commandLine) commandLine.push_back(utf8Text(arg));
    const Json record = {
        {"program", "quendra-batch"},
        {"version", QUENDRA_VERSION},
        {"command_line", commandLine},
        {"classes", utf8Text(o.classes)},
        {"classes_bytes", ec ? 0 : classesBytes},
        {"settings", settingsOf(o)},
        {"inputs", inputsOf(items)},
        {"status", outcome.status},
        {"started", outcome.started},
        {"ended", outcome.ended.empty() ? Json(nullptr) : Json(outcome.ended)},
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
