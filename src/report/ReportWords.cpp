#include "report/ReportWords.h"

#include <array>
#include <cstdio>
#include <utility>

#include "batch/BatchSettings.h"
#include "report/ReportText.h"
#include "results/StacksTable.h"

namespace quendra {

namespace {

using Words = std::pair<std::string_view, std::string_view>;

// Words the settings take as values.
constexpr std::array kValues = std::to_array<Words>({
    {"auto", "automatisch"},
    {"largest", "nur der größte"},
    {"all", "alle"},
    {"video", "Bilder und Filme"},
    {"png", "PNG je Bild"},
    {"none", "keine"},
});

// The stacks' table's columns (StacksTable.h); one not listed shows its own name.
constexpr auto kStackColumns = std::to_array<std::pair<StackColumn, std::string_view>>({
    {StackColumn::Stack, "Stapel"},
    {StackColumn::Tooth, "Wurzel"},
    {StackColumn::FirstSlice, "erste Schicht"},
    {StackColumn::LastSlice, "letzte Schicht"},
    {StackColumn::Configuration, "Konfiguration"},
    {StackColumn::Vertucci, "Vertucci-Typ"},
    {StackColumn::CanalsMax, "Kanäle höchstens"},
    {StackColumn::Divisions, "Teilungen"},
    {StackColumn::Junctions, "Vereinigungen"},
    {StackColumn::LengthMm, "Länge in mm"},
    {StackColumn::Note, "Anmerkung"},
});

// The columns of the canals' and the levels' tables (StacksTable.h) that the page shows, by
// their names.
constexpr std::array kCanalColumns = std::to_array<Words>({
    {"canal", "Kanal"},
    {"root", "Wurzel"},
    {"slices", "Schichten"},
    {"volume_voxels", "Volumen in Voxeln"},
    {"volume_mm3", "Volumen in mm³"},
    {"diameter_min_mm", "kleinster Durchmesser in mm"},
    {"diameter_mean_mm", "mittlerer Durchmesser in mm"},
    {"diameter_max_mm", "größter Durchmesser in mm"},
    {"level_mm", "Abstand vom Apex in mm"},
    {"slice", "Schicht"},
    {"area_mm2", "Fläche in mm²"},
    {"perimeter_mm", "Umfang in mm"},
    {"circularity", "Rundheit"},
    {"feret_max_mm", "größter Feret-Durchmesser in mm"},
    {"feret_min_mm", "kleinster Feret-Durchmesser in mm"},
});

constexpr std::array kShapes = std::to_array<Words>({
    {"round", "rund"},
    {"oval", "oval"},
    {"long oval", "lang-oval"},
    {"flat", "flach"},
});

template <std::size_t N>
const std::string_view* lookUp(const std::array<Words, N>& words, std::string_view key) {
    for (const Words& w : words)
        if (w.first == key) return &w.second;
    return nullptr;
}

// "Wurzel (tooth)"; the word alone when German and English agree.
std::string withOwnWord(std::string_view german, std::string_view own) {
    return german == own ? std::string(german)
                         : std::string(german) + " (" + std::string(own) + ")";
}

}  // namespace

std::string germanSettingName(std::string_view name) {
    const std::string option = "--" + std::string(name);
    const SettingDeclaration* setting = recordedSetting(name);
    return setting ? withOwnWord(setting->label, option) : option;
}

std::string germanSettingValue(const nlohmann::ordered_json& value) {
    if (value.is_null()) return "nicht gesetzt";
    if (value.is_boolean()) return value.get<bool>() ? "ja" : "nein";
    if (value.is_number_unsigned()) return germanCount(value.get<std::size_t>());
    if (value.is_number_integer()) return std::to_string(value.get<long long>());
    if (value.is_number()) {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", value.get<double>());
        std::string german = text;
        for (char& c : german)
            if (c == '.') c = ',';
        return german;
    }
    if (!value.is_string()) return value.dump();
    const std::string text = value.get<std::string>();
    const auto* german = lookUp(kValues, text);
    return german ? std::string(*german) : text;
}

std::string germanStackColumn(std::string_view column) {
    for (const auto& [id, german] : kStackColumns)
        if (columnName(id) == column) return withOwnWord(german, column);
    const auto* german = lookUp(kCanalColumns, column);
    return german ? withOwnWord(*german, column) : std::string(column);
}

std::string germanShape(std::string_view shape) {
    const auto* german = lookUp(kShapes, shape);
    return german ? withOwnWord(*german, shape) : std::string(shape);
}

}  // namespace quendra
