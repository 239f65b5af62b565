#include "batch/RunRecord.h"

#include <sys/stat.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "batch/FileDigest.h"
#include "io/SliceStack.h"
#include "io/Utf8Text.h"

namespace quendra {

namespace {

using Json = nlohmann::ordered_json;

// A setting's value in JSON: null when not given.
Json jsonOf(const SettingValue& value) {
    return std::visit(
        [](const auto& v) {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                return Json(nullptr);
            else
                return Json(v);
        },
        value);
}

// Everything that decides the table's rows and the outputs, by the names of the command line.
Json settingsOf(const BatchOptions& o) {
    Json settings = Json::object();
    for (const auto& [name, value] : recordedSettings(o))
        settings[std::string(name)] = jsonOf(value);
    return settings;
}

// What differs between the settings an earlier run recorded and these, one text each. A
// setting the record does not name (one of an older version) was at its default.
std::vector<std::string> settingDifferences(const Json& before, const BatchOptions& o) {
    const Json now = settingsOf(o), defaults = settingsOf(BatchOptions{});
    std::vector<std::string> differences;
    for (const auto& [name, value] : now.items()) {
        const Json was = before.value(name, defaults[name]);
        if (was != value)
            differences.push_back("--" + name + " was " + was.dump() + ", now " + value.dump());
    }
    for (const auto& [name, value] : before.items())
        if (!now.contains(name) && !defaults.contains(name))
            differences.push_back("--" + name + " was " + value.dump() + ", now not given");
    return differences;
}

Json inputsOf(const std::vector<BatchItem>& items, const RunSources& sources) {
    Json inputs = Json::array();
    for (std::size_t i = 0; i < items.size(); ++i)
        inputs.push_back({{"file", utf8Text(items[i].path)},
                          {"bytes", sources.inputs[i].bytes},
                          {"modified", sources.inputs[i].modified},
                          {"px_per_mm", items[i].pxPerMm ? Json(*items[i].pxPerMm) : Json(nullptr)},
                          {"slice_mm", items[i].sliceMm ? Json(*items[i].sliceMm) : Json(nullptr)},
                          {"scale_source", items[i].scaleSource}});
    return inputs;
}

Json orNull(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

std::string modificationTime(const struct stat& s) {
    std::tm utc{};
    ::gmtime_r(&s.st_mtim.tv_sec, &utc);
    char text[48];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%09ldZ", static_cast<long>(s.st_mtim.tv_nsec));
    return text;
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

RunSources runSourcesOf(const BatchOptions& o, const std::vector<BatchItem>& items) {
    RunSources sources;
    sources.classesSha256 = fileSha256(o.classes);
    if (!o.scale.empty()) sources.scaleSha256 = fileSha256(o.scale);
    for (const BatchItem& item : items) {
        // A folder's stack: all its slices' bytes, and the latest time any of them changed.
        std::vector<std::filesystem::path> files{item.path};
        std::error_code ec;
        if (item.kind == MediaKind::Stack && std::filesystem::is_directory(item.path, ec))
            files = stackFiles(item.path);
        RunSources::Input input;
        for (const auto& file : files) {
            struct stat s {};
            if (::stat(file.c_str(), &s) != 0) continue;
            input.bytes += static_cast<std::uintmax_t>(s.st_size);
            input.modified = std::max(input.modified, modificationTime(s));
        }
        sources.inputs.push_back(input);
    }
    return sources;
}

std::string runRecordStart(const BatchOptions& o, const std::vector<BatchItem>& items,
                           const RunSources& sources, const std::vector<std::string>& warnings) {
    Json warningsJson = Json::array();
    for (const std::string& w : warnings) warningsJson.push_back(utf8Text(w));
    Json commandLine = Json::array({"quendra-batch"});
    for (const std::string& arg : o.commandLine) commandLine.push_back(utf8Text(arg));
    const Json start = {
        {"program", "quendra-batch"},
        {"version", QUENDRA_VERSION},
        {"command_line", commandLine},
        {"classes", utf8Text(o.classes)},
        {"classes_sha256", orNull(sources.classesSha256)},
        {"scale", o.scale.empty() ? Json(nullptr) : Json(utf8Text(o.scale))},
        {"scale_sha256", orNull(sources.scaleSha256)},
        {"settings", settingsOf(o)},
        {"warnings", warningsJson},
        {"inputs", inputsOf(items, sources)},
        {"items", items.size()},
    };
    return start.dump(2);
}

// The start's members, then the outcome's: two objects as dump(2) writes them, joined into one.
std::string runRecordText(const std::string& start, const RunOutcome& outcome) {
    Json problems = Json::array();
    for (const std::string& p : outcome.problems) problems.push_back(utf8Text(p));
    Json now = {
        {"status", outcome.status},
        {"class_threshold_used", outcome.classThreshold},
        {"started", outcome.started},
        {"ended", outcome.ended.empty() ? Json(nullptr) : Json(outcome.ended)},
        {"items_done", outcome.itemsDone},
        {"frames_done", outcome.framesDone},
        {"problems", problems},
        {"exit_status", outcome.exitStatus >= 0 ? Json(outcome.exitStatus) : Json(nullptr)},
    };
    if (!outcome.stacks.empty()) {
        Json& stacks = now["stacks"] = Json::array();
        for (const StackRecord& s : outcome.stacks)
            stacks.push_back(
                {{"stack", s.stack},
                 {"slices", s.slices},
                 {"window", s.window ? Json{s.window->low, s.window->high} : Json(nullptr)},
                 {"notes", s.notes}});
    }
    const std::string rest = now.dump(2);
    return start.substr(0, start.size() - 2) + ",\n" + rest.substr(2) + "\n";
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

std::vector<StackRecord> stacksOf(const std::string& recordText) {
    const Json record = Json::parse(recordText, nullptr, false);
    std::vector<StackRecord> stacks;
    if (!record.is_object() || !record.contains("stacks") || !record["stacks"].is_array())
        return stacks;
    for (const Json& s : record["stacks"]) {
        if (!s.is_object() || !s.value("stack", Json()).is_string() ||
            !s.value("slices", Json()).is_number_integer())
            continue;
        const Json window = s.value("window", Json());
        const bool mapped = window.is_array() && window.size() == 2 && window[0].is_number() &&
                            window[1].is_number();
        std::vector<std::string> notes;
        if (const Json n = s.value("notes", Json()); n.is_array())
            for (const Json& note : n)
                if (note.is_string()) notes.push_back(note.get<std::string>());
        stacks.push_back(
            {s["stack"].get<std::string>(), s["slices"].get<int>(),
             mapped ? std::optional<GreyWindow>({window[0].get<double>(), window[1].get<double>()})
                    : std::nullopt,
             notes});
    }
    return stacks;
}

std::vector<std::string> runDifferences(const std::string& recordText, const BatchOptions& o,
                                        const std::vector<BatchItem>& items,
                                        const RunSources& sources) {
    const Json record = Json::parse(recordText, nullptr, false);
    if (!record.is_object() || record.value("program", "") != "quendra-batch")
        return {"its run record cannot be read"};
    std::vector<std::string> differences;
    if (record.value("classes_sha256", Json()) != orNull(sources.classesSha256))
        differences.push_back("the colour-class file's content is not that of the run resumed");
    const Json scale = record.value("scale_sha256", Json());
    if (scale != orNull(sources.scaleSha256))
        differences.push_back(scale.is_null() ? "the run resumed had no scale file"
                              : o.scale.empty()
                                  ? "the run resumed had a scale file"
                                  : "the scale file's content is not that of the run resumed");
    for (std::string& d : settingDifferences(record.value("settings", Json::object()), o))
        differences.push_back(std::move(d));
    const Json inputs = record.value("inputs", Json::array()), mine = inputsOf(items, sources);
    if (inputs.size() != mine.size())
        differences.push_back("the run resumed had " + std::to_string(inputs.size()) +
                              " inputs, this one has " + std::to_string(mine.size()));
    for (std::size_t i = 0; i < std::min(inputs.size(), mine.size()); ++i) {
        const std::string name = mine[i]["file"];
        if (inputs[i].value("file", Json()) != mine[i]["file"])
            differences.push_back("input " + std::to_string(i + 1) + " was " +
                                  inputs[i].value("file", Json()).dump() + ", now \"" + name +
                                  "\"");
        else if (inputs[i] != mine[i])
            differences.push_back(name + " has changed since (its size or modification time)");
    }
    return differences;
}

}  // namespace quendra
