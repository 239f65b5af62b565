#pragma once

// The table of a batch run: RFC 4180 CSV in UTF-8, lines ending in CR LF, one row per tooth
// and canal of every analysed picture or frame, in input order.

#include <optional>
#include <string>
#include <vector>

#include "analysis/FrameResult.h"
#include "analysis/RegionShape.h"

namespace quendra {

// The header line. The columns, one row per object (each tooth, then its accepted canals; with
// several teeth, tooth after tooth in their order):
//   file, frame              the input as given; the video frame, empty for a picture
//   object                   "tooth", "canal <n>", or "none" when no tooth was found
//   type, canals             on a tooth row: its type ("Zahn nicht erkannt." when no canal
//                            was accepted) and the number of its accepted canals
//   area_px ... minor_semi_px  as RegionMeasure.h and ToothResult.h define them; x_px and y_px
//                            the centre of mass in full precision
//   perimeter_px, circularity, aspect_ratio, shape   as RegionShape.h defines them
//   (with `millimetres`: px_per_mm, the input's scale, and area_mm2, x_mm, y_mm,
//   major_semi_mm, minor_semi_mm, perimeter_mm, all empty for an input without a scale)
//   tooth                    the tooth's number in the frame, from 1 (left to right)
//   teeth, teeth_left_out    on a tooth row: the teeth analysed in the frame, and the further
//                            tooth regions of the minimum tooth area not analysed
//   canal_threshold          on a tooth row: the colour distance its canals were searched with
//   feret_max_px, feret_min_px, equivalent_diameter_px, solidity   as RegionShape.h defines them
//   (with `millimetres`: feret_max_mm, feret_min_mm, equivalent_diameter_mm)
//   canal                    on a canal row of a stack: its canal's number through the stack
//                            (StackResults.h); empty otherwise
// One list of columns makes the header, the rows and the none row; the resume reading finds
// its columns by name in that header.
std::string tableHeader(bool millimetres);

// The rows of one analysed picture (frame < 0) or video frame. `shapes` are the teeth's and
// the accepted canals' in the rows' order (ToothAnalysis::measureShapes).
std::string frameRows(const std::string& file, int frame, const FrameResult& result,
                      const std::vector<RegionShape>& shapes, bool millimetres,
                      std::optional<double> pxPerMm);

}  // namespace quendra
