#include "batch/BatchSettings.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <sstream>

#include "analysis/CanalLevels.h"
#include "batch/BatchOptions.h"

namespace quendra {

namespace {

// The numbers as the option's check read them (CLI11's reading), so that the value taken is
// the one checked.
int wholeOf(const std::string& text) {
    int value = 0;
    CLI::detail::lexical_cast(text, value);
    return value;
}

double numberOf(const std::string& text) {
    double value = 0;
    CLI::detail::lexical_cast(text, value);
    return value;
}

BoundOption flag(const SettingDeclaration& d, bool& field) {
    return {.declaration = d,
            .form = OptionForm::Flag,
            .value = [&field] { return SettingValue(field); },
            .flag = &field};
}

BoundOption whole(const SettingDeclaration& d, int& field) {
    return {.declaration = d,
            .form = OptionForm::Whole,
            .value = [&field] { return SettingValue(field); },
            .take = [&field](const std::string& text) { field = wholeOf(text); }};
}

BoundOption wholeOrAuto(const SettingDeclaration& d, int& field, bool& automatic) {
    return {.declaration = d,
            .form = OptionForm::WholeOrAuto,
            .value =
                [&] { return automatic ? SettingValue(std::string("auto")) : SettingValue(field); },
            .take =
                [&](const std::string& text) {
                    automatic = text == "auto";
                    if (!automatic) field = wholeOf(text);
                }};
}

BoundOption number(const SettingDeclaration& d, double& field) {
    return {.declaration = d,
            .form = OptionForm::Number,
            .value = [&field] { return SettingValue(field); },
            .take = [&field](const std::string& text) { field = numberOf(text); }};
}

BoundOption numberOrAuto(const SettingDeclaration& d, double& field, bool& automatic) {
    return {.declaration = d,
            .form = OptionForm::NumberOrAuto,
            .value =
                [&] { return automatic ? SettingValue(std::string("auto")) : SettingValue(field); },
            .take =
                [&](const std::string& text) {
                    automatic = text == "auto";
                    if (!automatic) field = numberOf(text);
                }};
}

// A number that may be not given.
BoundOption optionalNumber(const SettingDeclaration& d, std::optional<double>& field) {
    return {.declaration = d,
            .form = OptionForm::Number,
            .value = [&field] { return field ? SettingValue(*field) : SettingValue(); },
            .take = [&field](const std::string& text) { field = numberOf(text); }};
}

BoundOption text(const SettingDeclaration& d, std::string& field) {
    return {.declaration = d,
            .form = OptionForm::Text,
            .value = [&field] { return SettingValue(field); },
            .take = [&field](const std::string& given) { field = given; }};
}

// One of `names`, the value of the enumeration in their order.
template <typename Enumeration, std::size_t N>
BoundOption choice(const SettingDeclaration& d, Enumeration& field, const char* const (&names)[N]) {
    return {.declaration = d,
            .form = OptionForm::Choice,
            .value = [&field,
                      &names] { return SettingValue(std::string(names[static_cast<int>(field)])); },
            .take =
                [&field, &names](const std::string& text) {
                    field = static_cast<Enumeration>(
                        std::find(std::begin(names), std::end(names), text) - std::begin(names));
                },
            .choices = {std::begin(names), std::end(names)}};
}

// "html" or "none", for the report page or none.
BoundOption reportChoice(const SettingDeclaration& d, bool& page) {
    return {.declaration = d,
            .form = OptionForm::Choice,
            .value = [&page] { return SettingValue(std::string(kReportNames[page ? 0 : 1])); },
            .take = [&page](const std::string& text) { page = text == kReportNames[0]; },
            .choices = {std::begin(kReportNames), std::end(kReportNames)}};
}

BoundOption shapeLimits(const SettingDeclaration& d, ShapeLimits& field) {
    return {.declaration = d,
            .value = [&field] { return SettingValue(shapeLimitsText(field)); },
            .take = [&field](const std::string& text) { parseShapeLimits(text, field); },
            .refusal =
                [](const std::string& text) {
                    ShapeLimits limits;
                    return parseShapeLimits(text, limits)
                               ? ""
                               : "Value " + text + " is not R,O,L with 1 <= R <= O <= L";
                },
            .checkName = "R,O,L"};
}

BoundOption greyWindow(const SettingDeclaration& d, std::optional<GreyWindow>& field) {
    return {.declaration = d,
            .value = [&field] { return field ? SettingValue(windowText(*field)) : SettingValue(); },
            .take = [&field](const std::string& text) { parseWindow(text, field.emplace()); },
            .refusal =
                [&d](const std::string& text) {
                    GreyWindow w;
                    return parseWindow(text, w)
                               ? ""
                               : "Value " + text + " is not LOW,HIGH with " +
                                     numberText(d.range.lowest) +
                                     " <= LOW < HIGH <= " + numberText(d.range.highest);
                }};
}

// K/N within the declared range, K <= N.
bool parseShard(const SettingDeclaration& d, const std::string& text, int& shard, int& shards) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    return CLI::detail::lexical_cast(text.substr(0, slash), shard) &&
           CLI::detail::lexical_cast(text.substr(slash + 1), shards) && shard <= shards &&
           d.range.contains(shard) && d.range.contains(shards);
}

BoundOption shardOf(const SettingDeclaration& d, int& shard, int& shards) {
    return {
        .declaration = d,
        .value = [&] { return SettingValue(std::to_string(shard) + "/" + std::to_string(shards)); },
        .take = [&](const std::string& text) { parseShard(d, text, shard, shards); },
        .refusal =
            [&d](const std::string& text) {
                int k = 0, n = 0;
                return parseShard(d, text, k, n)
                           ? ""
                           : "Value " + text + " is not K/N with " +
                                 std::to_string(static_cast<int>(d.range.lowest)) +
                                 " <= K <= N <= " +
                                 std::to_string(static_cast<int>(d.range.highest));
            },
        .checkName = "K/N"};
}

// The levels as the command line and the record write them, "1,2.5,3"; none when not given.
BoundOption levels(const SettingDeclaration& d, std::vector<double>& field) {
    return {.declaration = d,
            .value =
                [&field] {
                    std::string text;
                    for (const double mm : field) {
                        char number[32];
                        const auto end = std::to_chars(number, number + sizeof number, mm).ptr;
                        text += (text.empty() ? "" : ",") + std::string(number, end);
                    }
                    return field.empty() ? SettingValue() : SettingValue(text);
                },
            .take = [&field](const std::string& text) { field = parseLevels(text).mm; },
            .refusal =
                [](const std::string& text) {
                    const std::string error = parseLevels(text).error;
                    return error.empty() ? error : "Value " + text + ": " + error;
                }};
}

}  // namespace

std::vector<BoundOption> boundOptions(BatchOptions& o) {
    AnalysisSettings& a = o.analysis;
    return {
        text(kClassesOption, o.classes),
        wholeOrAuto(kThresholdSetting, a.threshold, a.autoThreshold),
        wholeOrAuto(kBorderSetting, a.border, o.autoBorder),
        whole(kFilterSetting, a.filter),
        wholeOrAuto(kClassThresholdSetting, a.classThreshold, a.autoClassThreshold),
        number(kMinCanalAreaSetting, a.minCanalArea),
        optionalNumber(kMinCanalMm2Option, o.minCanalMm2),
        choice(kTeethSetting, a.teeth, kTeethNames),
        numberOrAuto(kMinToothAreaSetting, a.minToothArea, o.autoMinToothArea),
        shapeLimits(kShapeLimitsSetting, a.shapeLimits),
        whole(kEveryOption, o.every),
        whole(kJobsOption, o.jobs),
        optionalNumber(kPxPerMmOption, o.pxPerMm),
        text(kScaleOption, o.scale),
        text(kOutOption, o.out),
        text(kCsvOption, o.csv),
        choice(kOverlaysOption, o.overlays, kOverlaysNames),
        flag(kTextsOption, o.texts),
        flag(kMasksOption, o.masks),
        flag(kOverwriteOption, o.overwrite),
        flag(kResumeOption, o.resume),
        shardOf(kShardOption, o.shard, o.shards),
        flag(kQuietOption, o.quiet),
        reportChoice(kReportOption, o.report),
        flag(kStackOption, o.stackFolders),
        greyWindow(kWindowOption, o.window),
        whole(kMinRunOption, o.minRun),
        optionalNumber(kSliceMmOption, o.sliceMm),
        flag(kApexFirstOption, o.apexFirst),
        levels(kLevelsMmOption, o.levelsMm),
    };
}

std::vector<std::pair<std::string_view, SettingValue>> recordedSettings(BatchOptions options) {
    std::vector<std::pair<std::string_view, SettingValue>> settings;
    for (const BoundOption& bound : boundOptions(options))
        if (const SettingValue value = bound.value();
            bound.declaration.recorded &&
            !(bound.declaration.recordedWhenGiven && std::holds_alternative<std::monostate>(value)))
            settings.emplace_back(bound.declaration.name, value);
    return settings;
}

const SettingDeclaration* recordedSetting(std::string_view name) {
    BatchOptions options;
    for (const BoundOption& bound : boundOptions(options))
        if (bound.declaration.recorded && bound.declaration.name == name) return &bound.declaration;
    return nullptr;
}

std::string numberText(double number) {
    std::ostringstream text;
    text << number;
    return text.str();
}

std::string valueText(const SettingValue& value) {
    if (const auto* whole = std::get_if<int>(&value)) return std::to_string(*whole);
    if (const auto* number = std::get_if<double>(&value)) return numberText(*number);
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return {};
}

}  // namespace quendra
