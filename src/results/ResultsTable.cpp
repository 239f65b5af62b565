#include "results/ResultsTable.h"

#include <charconv>
#include <cmath>

#include "analysis/ToothType.h"
#include "io/CsvRecords.h"

namespace quendra {

namespace {

// The shortest text that reads back as the same float, with a decimal point in any locale; a
// negative zero is written 0, and what is not a number stays empty.
std::string number(double v) {
    if (std::isnan(v)) return {};
    auto f = static_cast<float>(v);
    if (f == 0) f = 0;
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, f).ptr;
    return {buffer, end};
}

// The same in double precision, for the centres of mass.
std::string precise(double v) {
    if (std::isnan(v)) return {};
    if (v == 0) v = 0;
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return {buffer, end};
}

// What one row describes: a tooth (canal null), one of its canals, or none (tooth null).
struct Row {
    const std::string& file;
    int frame;  // -1 for a picture
    std::string object;
    const FrameResult& result;
    const ToothFinding* tooth;
    std::size_t toothNumber;  // from 1
    const CanalResult* canal;
    const RegionShape* shape;
    std::optional<double> pxPerMm;

    bool isTooth() const { return tooth && !canal; }
    // The measured record: the canal's, or the tooth's (as a canal record, its fields alike).
    CanalResult measured() const {
        if (canal) return *canal;
        const ToothResult& t = tooth->tooth;
        return {t.area, t.centerX, t.centerY, t.angle, t.majorAxis, t.minorAxis, t.meanX, t.meanY};
    }
};

using Column = TableColumn<ResultsColumn, Row>;
using C = ResultsColumn;

// A measure in pixels, and its millimetre column: the length divided by the scale, an area by
// its square; a millimetre cell is empty for an input without a scale.
template <double (*measure)(const Row&)>
std::string pixels(const Row& r) {
    return number(measure(r));
}
template <double (*measure)(const Row&), int power>
std::string millimetres(const Row& r) {
    return r.pxPerMm ? number(measure(r) / std::pow(*r.pxPerMm, power)) : std::string();
}

double area(const Row& r) {
    return r.measured().area;
}
double major(const Row& r) {
    return r.measured().majorAxis;
}
double minor(const Row& r) {
    return r.measured().minorAxis;
}
double perimeter(const Row& r) {
    return r.shape->perimeter;
}
double feretMax(const Row& r) {
    return r.shape->feretMax;
}
double feretMin(const Row& r) {
    return r.shape->feretMin;
}
double diameter(const Row& r) {
    return r.shape->equivalentDiameter;
}

std::string onTooth(const Row& r, std::string value) {
    return r.isTooth() ? value : std::string();
}

// The table's columns, in order: the header, the rows, the none row and every reader follow
// this one list (ResultsTable.h). Flags: a place column (filled on a none row), a millimetre
// column (only with millimetres).
constexpr auto kColumns = std::to_array<Column>({
    {C::File, "file", [](const Row& r) { return csvField(r.file); }, true},
    {C::Frame, "frame",
     [](const Row& r) { return r.frame >= 0 ? std::to_string(r.frame) : std::string(); }, true},
    {C::Object, "object", [](const Row& r) { return r.object; }, true},
    {C::Type, "type",
     [](const Row& r) { return onTooth(r, csvField(toothTypeText(r.tooth->tooth.toothType))); }},
    {C::Canals, "canals",
     [](const Row& r) { return onTooth(r, std::to_string(r.tooth->canals.size())); }},
    {C::AreaPx, "area_px", pixels<area>},
    {C::XPx, "x_px", [](const Row& r) { return precise(r.measured().meanX); }},
    {C::YPx, "y_px", [](const Row& r) { return precise(r.measured().meanY); }},
    {C::AngleDeg, "angle_deg", [](const Row& r) { return number(r.measured().angle); }},
    {C::MajorSemiPx, "major_semi_px", pixels<major>},
    {C::MinorSemiPx, "minor_semi_px", pixels<minor>},
    {C::PerimeterPx, "perimeter_px", pixels<perimeter>},
    {C::Circularity, "circularity", [](const Row& r) { return number(r.shape->circularity); }},
    {C::AspectRatio, "aspect_ratio", [](const Row& r) { return number(r.shape->aspectRatio); }},
    {C::Shape, "shape", [](const Row& r) { return std::string(r.shape->shape); }},
    {C::PxPerMm, "px_per_mm",
     [](const Row& r) { return r.pxPerMm ? number(*r.pxPerMm) : std::string(); }, false, true},
    {C::AreaMm2, "area_mm2", millimetres<area, 2>, false, true},
    {C::XMm, "x_mm",
     [](const Row& r) {
         return r.pxPerMm ? precise(r.measured().meanX / *r.pxPerMm) : std::string();
     },
     false, true},
    {C::YMm, "y_mm",
     [](const Row& r) {
         return r.pxPerMm ? precise(r.measured().meanY / *r.pxPerMm) : std::string();
     },
     false, true},
    {C::MajorSemiMm, "major_semi_mm", millimetres<major, 1>, false, true},
    {C::MinorSemiMm, "minor_semi_mm", millimetres<minor, 1>, false, true},
    {C::PerimeterMm, "perimeter_mm", millimetres<perimeter, 1>, false, true},
    {C::Tooth, "tooth", [](const Row& r) { return std::to_string(r.toothNumber); }},
    {C::Teeth, "teeth",
     [](const Row& r) { return onTooth(r, std::to_string(r.result.teeth().size())); }},
    {C::TeethLeftOut, "teeth_left_out",
     [](const Row& r) { return onTooth(r, std::to_string(r.result.teethLeftOut)); }},
    {C::CanalThreshold, "canal_threshold",
     [](const Row& r) { return onTooth(r, std::to_string(r.tooth->canalThreshold)); }},
    {C::FeretMaxPx, "feret_max_px", pixels<feretMax>},
    {C::FeretMinPx, "feret_min_px", pixels<feretMin>},
    {C::EquivalentDiameterPx, "equivalent_diameter_px", pixels<diameter>},
    {C::Solidity, "solidity", [](const Row& r) { return number(r.shape->solidity); }},
    {C::FeretMaxMm, "feret_max_mm", millimetres<feretMax, 1>, false, true},
    {C::FeretMinMm, "feret_min_mm", millimetres<feretMin, 1>, false, true},
    {C::EquivalentDiameterMm, "equivalent_diameter_mm", millimetres<diameter, 1>, false, true},
    // A stack's canal through the slices; written by StackResults once the stack is complete.
    {C::Canal, "canal", [](const Row&) { return std::string(); }},
});
static_assert(inIdOrder(kColumns));
// withCanalNumber fills the last cell of a row.
static_assert(kColumns.back().id == C::Canal);

// The words of the object column.
constexpr std::string_view kTooth = "tooth", kNone = "none", kCanal = "canal ";

std::string canalObject(std::size_t number) {
    return std::string(kCanal) + std::to_string(number);
}

std::string rowText(const Row& row, bool millimetres) {
    return rowLine(kColumns, row, millimetres, !row.tooth);
}

}  // namespace

std::string_view columnName(ResultsColumn column) {
    return kColumns.at(static_cast<std::size_t>(column)).name;
}

std::string tableHeader(bool millimetres) {
    return headerLine(kColumns, millimetres);
}

std::string tableStart() {
    std::string start;
    for (const Column& c : kColumns)
        if (c.place) start += (start.empty() ? "" : ",") + std::string(c.name);
    return start;
}

ColumnPlaces<ResultsColumn> resultsColumnsIn(const std::vector<std::string>& header) {
    return {kColumns, header};
}

ColumnPlaces<ResultsColumn> writtenColumns(bool millimetres) {
    return resultsColumnsIn(readCsvRecords(tableHeader(millimetres)).front().fields);
}

std::string frameRows(const std::string& file, int frame, const FrameResult& result,
                      const std::vector<RegionShape>& shapes, bool millimetres,
                      std::optional<double> pxPerMm) {
    if (!result.toothFound)
        return rowText(
            {file, frame, std::string(kNone), result, nullptr, 0, nullptr, nullptr, pxPerMm},
            millimetres);
    std::string rows;
    std::size_t label = 0;  // shapes come in the rows' order
    const std::vector<const ToothFinding*> teeth = result.teeth();
    for (std::size_t t = 0; t < teeth.size(); ++t) {
        const ToothFinding& tooth = *teeth[t];
        rows += rowText({file, frame, std::string(kTooth), result, &tooth, t + 1, nullptr,
                         &shapes.at(label++), pxPerMm},
                        millimetres);
        for (std::size_t i = 0; i < tooth.canals.size(); ++i)
            rows += rowText({file, frame, canalObject(i + 1), result, &tooth, t + 1,
                             &tooth.canals[i], &shapes.at(label++), pxPerMm},
                            millimetres);
    }
    return rows;
}

std::string withCanalNumber(std::string row, int number) {
    if (row.ends_with("\r\n")) row.insert(row.size() - 2, std::to_string(number));
    return row;
}

ObjectCell readObject(std::string_view cell) {
    if (cell == kTooth) return {RowObject::Tooth, std::nullopt};
    if (cell == kNone) return {RowObject::None, std::nullopt};
    if (!cell.starts_with(kCanal)) return {RowObject::Other, std::nullopt};
    const std::string_view digits = cell.substr(kCanal.size());
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    const bool whole = !digits.empty() && error == std::errc() &&
                       end == digits.data() + digits.size() && number >= 0;
    return {RowObject::Canal, whole ? std::optional(number) : std::nullopt};
}

}  // namespace quendra
