#include "batch/BatchTable.h"

#include <charconv>
#include <cmath>

#include "analysis/ToothType.h"
#include "io/CsvRecords.h"
#include "overlay/ResultOverlay.h"

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
    std::size_t canalNumber;  // from 1
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

using Value = std::string (*)(const Row&);

struct Column {
    const char* name;
    bool millimetres;  // only in a table with millimetre columns; empty without a scale
    bool place;        // says which frame and object the row is of: filled on a none row too
    Value value;
};

// A measure in pixels, and its millimetre column: the length divided by the scale, an area by
// its square.
template <double (*measure)(const Row&)>
std::string pixels(const Row& r) {
    return number(measure(r));
}
template <double (*measure)(const Row&), int power>
std::string millimetres(const Row& r) {
    return number(measure(r) / std::pow(*r.pxPerMm, power));
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

// The table's columns, in order: header, rows, the none row and the resume reading all follow
// this one list. The columns of earlier versions keep their places; those added since follow.
const Column kColumns[] = {
    {"file", false, true, [](const Row& r) { return csvField(r.file); }},
    {"frame", false, true,
     [](const Row& r) { return r.frame >= 0 ? std::to_string(r.frame) : std::string(); }},
    {"object", false, true, [](const Row& r) { return r.object; }},
    {"type", false, false,
     [](const Row& r) { return onTooth(r, csvField(toothTypeText(r.tooth->tooth.toothType))); }},
    {"canals", false, false,
     [](const Row& r) { return onTooth(r, std::to_string(r.tooth->canals.size())); }},
    {"area_px", false, false, pixels<area>},
    {"x_px", false, false, [](const Row& r) { return precise(r.measured().meanX); }},
    {"y_px", false, false, [](const Row& r) { return precise(r.measured().meanY); }},
    {"angle_deg", false, false, [](const Row& r) { return number(r.measured().angle); }},
    {"major_semi_px", false, false, pixels<major>},
    {"minor_semi_px", false, false, pixels<minor>},
    {"perimeter_px", false, false, pixels<perimeter>},
    {"circularity", false, false, [](const Row& r) { return number(r.shape->circularity); }},
    {"aspect_ratio", false, false, [](const Row& r) { return number(r.shape->aspectRatio); }},
    {"shape", false, false, [](const Row& r) { return std::string(r.shape->shape); }},
    {"px_per_mm", true, false, [](const Row& r) { return number(*r.pxPerMm); }},
    {"area_mm2", true, false, millimetres<area, 2>},
    {"x_mm", true, false, [](const Row& r) { return precise(r.measured().meanX / *r.pxPerMm); }},
    {"y_mm", true, false, [](const Row& r) { return precise(r.measured().meanY / *r.pxPerMm); }},
    {"major_semi_mm", true, false, millimetres<major, 1>},
    {"minor_semi_mm", true, false, millimetres<minor, 1>},
    {"perimeter_mm", true, false, millimetres<perimeter, 1>},
    {"tooth", false, false, [](const Row& r) { return std::to_string(r.toothNumber); }},
    {"teeth", false, false,
     [](const Row& r) { return onTooth(r, std::to_string(r.result.teeth().size())); }},
    {"teeth_left_out", false, false,
     [](const Row& r) { return onTooth(r, std::to_string(r.result.teethLeftOut)); }},
    {"canal_threshold", false, false,
     [](const Row& r) { return onTooth(r, std::to_string(r.tooth->canalThreshold)); }},
    {"feret_max_px", false, false, pixels<feretMax>},
    {"feret_min_px", false, false, pixels<feretMin>},
    {"equivalent_diameter_px", false, false, pixels<diameter>},
    {"solidity", false, false, [](const Row& r) { return number(r.shape->solidity); }},
    {"feret_max_mm", true, false, millimetres<feretMax, 1>},
    {"feret_min_mm", true, false, millimetres<feretMin, 1>},
    {"equivalent_diameter_mm", true, false, millimetres<diameter, 1>},
    // A stack's canal through the slices; written by StackResults once the stack is complete.
    {"canal", false, false, [](const Row&) { return std::string(); }},

};

std::string rowText(const Row& row, bool withMillimetres) {
    std::string text;
    for (const Column& c : kColumns) {
        if (c.millimetres && !withMillimetres) continue;
        if (&c != kColumns) text += ",";
        if (c.place || (row.tooth && (!c.millimetres || row.pxPerMm))) text += c.value(row);
    }
    return text + "\r\n";
}

}  // namespace

std::string tableHeader(bool millimetres) {
    std::string header;
    for (const Column& c : kColumns) {
        if (c.millimetres && !millimetres) continue;
        header += (header.empty() ? "" : ",") + std::string(c.name);
    }
    return header + "\r\n";
}

std::string frameRows(const std::string& file, int frame, const FrameResult& result,
                      const std::vector<RegionShape>& shapes, bool millimetres,
                      std::optional<double> pxPerMm) {
    if (!result.toothFound)
        return rowText({file, frame, "none", result, nullptr, 0, nullptr, 0, nullptr, pxPerMm},
                       millimetres);
    std::string rows;
    std::size_t label = 0;  // shapes come in the rows' order
    const std::vector<const ToothFinding*> teeth = result.teeth();
    for (std::size_t t = 0; t < teeth.size(); ++t) {
        const ToothFinding& tooth = *teeth[t];
        rows += rowText(
            {file, frame, "tooth", result, &tooth, t + 1, nullptr, 0, &shapes.at(label++), pxPerMm},
            millimetres);
        for (std::size_t i = 0; i < tooth.canals.size(); ++i)
            rows += rowText({file, frame, "canal " + std::to_string(i + 1), result, &tooth, t + 1,
                             &tooth.canals[i], i + 1, &shapes.at(label++), pxPerMm},
                            millimetres);
    }
    return rows;
}

}  // namespace quendra
