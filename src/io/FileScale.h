#pragma once

// The scale a stack's file gives itself: pixels per millimetre in the slice plane and the
// distance of neighbouring slices in millimetres.
//
// TIFF (the first page): XResolution and YResolution with an explicit ResolutionUnit of
// centimetre or inch give the pixel size (72 and 96 pixels per inch, which programs write when
// they know no scale, are taken for none); with no such unit, an ImageJ description ("ImageJ="
// with "unit=") gives the resolutions' unit, as ImageJ writes them. The description's
// `spacing=`, in its unit, gives the slice distance. Units mm, cm, m, micron (µm, um), nm and
// inch are understood. DICOM: DicomSeries.h.
//
// Pixels that are not square (the two resolutions differ by more than 0.1 %) give no scale:
// every area and length in the slice plane would need both, and the tables hold one
// px_per_mm. `problem` names them, and the millimetre columns stay empty unless --px-per-mm
// or --scale give one.

#include <optional>
#include <string>

namespace quendra {

struct FileScale {
    std::optional<double> pxPerMm;  // pixels per millimetre, square pixels only
    std::optional<double> sliceMm;  // millimetres from one slice to the next
    std::string source;             // where they come from: "ImageJ description", ...
    std::string problem;            // why a scale the file gives is not taken
};

// The scale of a TIFF's first page; none for a file that is no TIFF.
FileScale tiffScale(const std::string& path);

// The scale from pixel sizes in millimetres (x across, y down), or the problem of pixels that
// are not square.
FileScale squarePixels(double xMm, double yMm, const std::string& source);

}  // namespace quendra
