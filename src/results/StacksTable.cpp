#include "results/StacksTable.h"

#include <array>
#include <sstream>
#include <type_traits>

#include "analysis/CanalMeasures.h"
#include "io/CsvRecords.h"
#include "io/Utf8Text.h"

namespace quendra {

namespace {

// A number as the stacks' tables write it: ten significant digits; empty when there is none.
std::string decimal(std::optional<double> v) {
    if (!v) return {};
    std::ostringstream text;
    text.precision(10);
    text << *v;
    return text.str();
}

std::string numbers(const std::vector<int>& list) {
    std::string text;
    for (const int n : list) text += (text.empty() ? "" : " ") + std::to_string(n);
    return text;
}

// A row of the stacks' table: a root of the stack named, or none for a stack without roots.
struct StackRow {
    const std::string& name;  // as a cell
    const RootConfiguration* root;
    std::optional<double> sliceMm;
};

template <int RootConfiguration::*count>
std::string rootCount(const StackRow& r) {
    return std::to_string(r.root->*count);
}
template <std::string RootConfiguration::*text>
std::string rootText(const StackRow& r) {
    return r.root->*text;
}

using S = StackColumn;
constexpr auto kStackColumns = std::to_array<TableColumn<S, StackRow>>({
    {S::Stack, "stack", [](const StackRow& r) { return r.name; }, true},
    {S::Tooth, "tooth", rootCount<&RootConfiguration::root>},
    {S::FirstSlice, "first_slice", rootCount<&RootConfiguration::firstSlice>},
    {S::LastSlice, "last_slice", rootCount<&RootConfiguration::lastSlice>},
    {S::Configuration, "configuration", rootText<&RootConfiguration::configuration>},
    {S::Vertucci, "vertucci", rootText<&RootConfiguration::vertucci>},
    {S::CanalsMax, "canals_max", rootCount<&RootConfiguration::canalsMax>},
    {S::Divisions, "divisions", rootCount<&RootConfiguration::divisions>},
    {S::Junctions, "junctions", rootCount<&RootConfiguration::junctions>},
    {S::LengthMm, "length_mm",
     [](const StackRow& r) {
         const int slices = r.root->lastSlice - r.root->firstSlice + 1;
         return r.sliceMm ? decimal(slices * *r.sliceMm) : std::string();
     }},
    {S::FourDigit, "four_digit", rootText<&RootConfiguration::fourDigit>},
    {S::Note, "note", [](const StackRow& r) { return csvField(r.root->note); }},
});
static_assert(inIdOrder(kStackColumns));

// A row of the canals' table.
struct CanalRow {
    const std::string& name;  // the stack's, as a cell
    const CanalRun& canal;
    CanalMeasure measure;
};

template <auto value>
std::string canalValue(const CanalRow& r) {
    return std::to_string(r.canal.*value);
}
template <auto value>
std::string measured(const CanalRow& r) {
    if constexpr (std::is_integral_v<std::remove_reference_t<decltype(r.measure.*value)>>)
        return std::to_string(r.measure.*value);
    else
        return decimal(r.measure.*value);
}

using C = CanalColumn;
constexpr auto kCanalColumns = std::to_array<TableColumn<C, CanalRow>>({
    {C::Stack, "stack", [](const CanalRow& r) { return r.name; }},
    {C::Root, "root", canalValue<&CanalRun::root>},
    {C::Canal, "canal", canalValue<&CanalRun::number>},
    {C::FirstSlice, "first_slice", measured<&CanalMeasure::firstSlice>},
    {C::LastSlice, "last_slice", measured<&CanalMeasure::lastSlice>},
    {C::Slices, "slices",
     [](const CanalRow& r) { return std::to_string(r.canal.sections.size()); }},
    {C::LengthMm, "length_mm", measured<&CanalMeasure::lengthMm>},
    {C::VolumeVoxels, "volume_voxels", measured<&CanalMeasure::volumeVoxels>},
    {C::VolumeMm3, "volume_mm3", measured<&CanalMeasure::volumeMm3>},
    {C::DiameterMinPx, "diameter_min_px", measured<&CanalMeasure::diameterMinPx>},
    {C::DiameterMeanPx, "diameter_mean_px", measured<&CanalMeasure::diameterMeanPx>},
    {C::DiameterMaxPx, "diameter_max_px", measured<&CanalMeasure::diameterMaxPx>},
    {C::DiameterMinMm, "diameter_min_mm", measured<&CanalMeasure::diameterMinMm>},
    {C::DiameterMeanMm, "diameter_mean_mm", measured<&CanalMeasure::diameterMeanMm>},
    {C::DiameterMaxMm, "diameter_max_mm", measured<&CanalMeasure::diameterMaxMm>},
    {C::FromCanals, "from_canals", [](const CanalRow& r) { return numbers(r.canal.coronal); }},
    {C::IntoCanals, "into_canals", [](const CanalRow& r) { return numbers(r.canal.apical); }},
});
static_assert(inIdOrder(kCanalColumns));

// A row of the levels' table: a level of a root, with one of its canals there or none.
struct LevelRow {
    const std::string& name;  // the stack's, as a cell
    int root;
    const RootLevel& level;
    const CanalAtLevel* canal;
    std::optional<CanalCells> cells;  // the canal's row of the run's table
};

template <ResultsColumn column>
std::string fromResults(const LevelRow& r) {
    return r.cells ? std::string(r.cells->columns.cell(r.cells->fields, column)) : std::string();
}

using L = LevelColumn;
constexpr auto kLevelColumns = std::to_array<TableColumn<L, LevelRow>>({
    {L::Stack, "stack", [](const LevelRow& r) { return r.name; }},
    {L::Root, "root", [](const LevelRow& r) { return std::to_string(r.root); }},
    {L::LevelMm, "level_mm", [](const LevelRow& r) { return decimal(r.level.mm); }},
    {L::Slice, "slice",
     [](const LevelRow& r) {
         return r.level.slice ? std::to_string(*r.level.slice) : std::string();
     }},
    {L::Canal, "canal",
     [](const LevelRow& r) { return r.canal ? std::to_string(r.canal->canal) : std::string(); }},
    {L::AreaMm2, "area_mm2", fromResults<ResultsColumn::AreaMm2>},
    {L::PerimeterMm, "perimeter_mm", fromResults<ResultsColumn::PerimeterMm>},
    {L::Circularity, "circularity", fromResults<ResultsColumn::Circularity>},
    {L::FeretMaxMm, "feret_max_mm", fromResults<ResultsColumn::FeretMaxMm>},
    {L::FeretMinMm, "feret_min_mm", fromResults<ResultsColumn::FeretMinMm>},
});
static_assert(inIdOrder(kLevelColumns));

// The tables name the stack first, where stackRowsKept reads it.
constexpr auto kStackPlace = static_cast<std::size_t>(S::Stack);
static_assert(kStackPlace == static_cast<std::size_t>(C::Stack));
static_assert(kStackPlace == static_cast<std::size_t>(L::Stack));

}  // namespace

std::string_view columnName(StackColumn column) {
    return kStackColumns.at(static_cast<std::size_t>(column)).name;
}

std::string_view columnName(CanalColumn column) {
    return kCanalColumns.at(static_cast<std::size_t>(column)).name;
}

std::string_view columnName(LevelColumn column) {
    return kLevelColumns.at(static_cast<std::size_t>(column)).name;
}

std::string stacksTableHeader() {
    return headerLine(kStackColumns);
}

std::string canalsTableHeader() {
    return headerLine(kCanalColumns);
}

std::string levelsTableHeader() {
    return headerLine(kLevelColumns);
}

ColumnPlaces<StackColumn> stackColumnsIn(const std::vector<std::string>& header) {
    return {kStackColumns, header};
}

std::string canalRows(const std::string& stack, const std::vector<CanalRun>& canals,
                      std::optional<double> pxPerMm, std::optional<double> sliceMm) {
    const std::string name = csvField(utf8Text(stack));
    std::string rows;
    for (const CanalRun& c : canals)
        rows += rowLine(kCanalColumns, CanalRow{name, c, measureCanal(c, pxPerMm, sliceMm)});
    return rows;
}

std::string levelRows(const std::string& stack, int root, const std::vector<RootLevel>& levels,
                      const std::function<std::optional<CanalCells>(int, int)>& cellsAt) {
    const std::string name = csvField(utf8Text(stack));
    std::string rows;
    for (const RootLevel& level : levels) {
        if (level.canals.empty())
            rows += rowLine(kLevelColumns, LevelRow{name, root, level, nullptr, std::nullopt});
        for (const CanalAtLevel& canal : level.canals)
            rows += rowLine(kLevelColumns, LevelRow{name, root, level, &canal,
                                                    cellsAt(*level.slice, canal.label)});
    }
    return rows;
}

std::string stackRows(const std::string& stack, const std::vector<RootConfiguration>& roots,
                      std::optional<double> sliceMm) {
    const std::string name = csvField(utf8Text(stack));
    if (roots.empty()) return rowLine(kStackColumns, StackRow{name, nullptr, sliceMm}, false, true);
    std::string rows;
    for (const RootConfiguration& r : roots)
        rows += rowLine(kStackColumns, StackRow{name, &r, sliceMm});
    return rows;
}

std::optional<std::string> stackRowsKept(std::string_view table,
                                         const std::unordered_set<std::string>& finished,
                                         const std::string& header) {
    if (!table.starts_with(header)) return std::nullopt;
    std::string kept = header;
    std::size_t begin = 0;
    forEachCsvRecord(table, [&](const CsvRecord& record) {
        if (begin > 0 && finished.contains(record.fields[kStackPlace]))
            kept.append(table.substr(begin, record.end - begin));
        begin = record.end;
    });
    return kept;
}

}  // namespace quendra
