#pragma once

// The run's table (results.csv): RFC 4180 CSV in UTF-8, names as utf8Text gives them, lines
// ending in CR LF, one row per tooth and canal of every analysed picture or frame, in input
// order. The columns, one row per object (each tooth, then its accepted canals; with several
// teeth, tooth after tooth in their order):
//   file, frame              the input as given; the video frame, empty for a picture
//   object                   "tooth", "canal <n>", or "none" when no tooth was found
//   type, canals             on a tooth row: its type (toothTypeText: "Zahn nicht erkannt."
//                            when the canals decide none) and the number of its accepted canals
//   area_px ... minor_semi_px  as RegionMeasure.h and ToothResult.h define them; x_px and y_px
//                            the centre of mass in full precision
//   perimeter_px, circularity, aspect_ratio, shape   as RegionShape.h defines them
//   (with millimetres: px_per_mm, the input's scale, and area_mm2, x_mm, y_mm,
//   major_semi_mm, minor_semi_mm, perimeter_mm, all empty for an input without a scale)
//   tooth                    the tooth's number in the frame, from 1 (left to right)
//   teeth, teeth_left_out    on a tooth row: the teeth analysed in the frame, and the further
//                            tooth regions of the minimum tooth area not analysed
//   canal_threshold          on a tooth row: the colour distance its canals were searched with
//   feret_max_px, feret_min_px, equivalent_diameter_px, solidity   as RegionShape.h defines them
//   (with millimetres: feret_max_mm, feret_min_mm, equivalent_diameter_mm)
//   canal                    on a canal row of a stack: its canal's number through the stack
//                            (StackResults.h); empty otherwise
// One list of columns (ResultsTable.cpp) makes the header, the rows and the none row, and the
// readers (the resume, the tally) find their columns through it (TableColumns.h). The columns
// of earlier versions keep their places; those added since follow.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/FrameResult.h"
#include "analysis/RegionShape.h"
#include "results/TableColumns.h"

namespace quendra {

enum class ResultsColumn {
    File,
    Frame,
    Object,
    Type,
    Canals,
    AreaPx,
    XPx,
    YPx,
    AngleDeg,
    MajorSemiPx,
    MinorSemiPx,
    PerimeterPx,
    Circularity,
    AspectRatio,
    Shape,
    PxPerMm,
    AreaMm2,
    XMm,
    YMm,
    MajorSemiMm,
    MinorSemiMm,
    PerimeterMm,
    Tooth,
    Teeth,
    TeethLeftOut,
    CanalThreshold,
    FeretMaxPx,
    FeretMinPx,
    EquivalentDiameterPx,
    Solidity,
    FeretMaxMm,
    FeretMinMm,
    EquivalentDiameterMm,
    Canal,
};

// The column's name in the header.
std::string_view columnName(ResultsColumn column);

// The header line, with the millimetre columns or without.
std::string tableHeader(bool millimetres);

// How every table of this program starts, of any version and settings: the names of the columns
// that say which frame and object a row is of.
std::string tableStart();

// Where the columns stand in a header read back (its fields), and in the rows frameRows writes.
ColumnPlaces<ResultsColumn> resultsColumnsIn(const std::vector<std::string>& header);
ColumnPlaces<ResultsColumn> writtenColumns(bool millimetres);

// The rows of one analysed picture (frame < 0) or video frame. `shapes` are the teeth's and
// the accepted canals' in the rows' order (ToothAnalysis::measureShapes).
std::string frameRows(const std::string& file, int frame, const FrameResult& result,
                      const std::vector<RegionShape>& shapes, bool millimetres,
                      std::optional<double> pxPerMm);

// A stack's row, written before its canal's number was known (its `canal` cell, the last, is
// empty), with that number.
std::string withCanalNumber(std::string row, int number);

// What a row is of, by its `object` cell: a tooth, a canal (with its number when the cell has
// a whole one), or none found; anything else is no row of this program.
enum class RowObject { Tooth, Canal, None, Other };
struct ObjectCell {
    RowObject object = RowObject::Other;
    std::optional<int> canal;  // "canal <n>": n
};
ObjectCell readObject(std::string_view cell);

}  // namespace quendra
