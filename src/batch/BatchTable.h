#pragma once

// The table of a batch run: RFC 4180 CSV in UTF-8, lines ending in CR LF, one row per tooth
// and canal of every analysed picture or frame, in input order.
//
// File names are bytes, not text; the table, the run record and every message must stay valid
// UTF-8 whatever the names hold, and must not carry control characters to a terminal. Bytes
// that form valid UTF-8 are kept; every byte that does not, and every control character (C0,
// DEL, C1), is written as \xHH: a Latin-1 name "Z\xE4hne.png" reads "Z\xE4hne.png" and not
// "Zähne.png", which a UTF-8 name of its own may be; an escape sequence reads "\x1B[31m". The
// text of a name that is already such text is the same text.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/FrameResult.h"
#include "analysis/RegionShape.h"

namespace quendra {

std::string utf8Text(std::string_view bytes);

// A text field quoted as RFC 4180 asks when it holds a comma, a quote or a line break, and
// guarded and quoted when a spreadsheet would run it as a formula (CsvRecords.h).
std::string csvField(const std::string& text);

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

// The table's file, written only by appending whole rows. A write that fails half-way (a full
// disk) is cut back, so the file never ends in a half row.
// What a run names when its table (or the stacks' table) `name` was removed while it ran.
std::string removedTableProblem(const std::string& name);

class TableFile {
public:
    TableFile() = default;
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Opens or creates the file without changing it; false (errno set) when it cannot be.
    bool open(const std::filesystem::path& path);
    // Takes the file for this process alone; false while another process holds it.
    bool lock();
    std::uintmax_t size() const { return length; }
    const std::filesystem::path& path() const { return name; }
    // Cuts the file to `bytes` bytes.
    bool truncate(std::uintmax_t bytes);
    bool append(std::string_view bytes);
    // Flushes the rows to the disk.
    bool sync();
    // The file has no name left (it or its folder was deleted while open): every row written
    // goes nowhere.
    bool removed() const;

private:
    int fd = -1;
    std::uintmax_t length = 0;
    std::filesystem::path name;
};

}  // namespace quendra
