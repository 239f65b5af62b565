#include "io/FileScale.h"

#include <tiffio.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

#include "io/MediaFiles.h"

namespace quendra {

namespace {

int silent(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// The value of `key=` on a line of an ImageJ description, or empty.
std::string imageJValue(const std::string& description, const std::string& key) {
    std::istringstream lines(description);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

// Millimetres in one of ImageJ's units, or 0 for a unit not known.
double unitMm(std::string unit) {
    static const std::map<std::string, double> kUnits = {
        {"mm", 1},         {"millimeter", 1},   {"cm", 10},        {"m", 1000},    {"micron", 1e-3},
        {"um", 1e-3},      {"\xC2\xB5m", 1e-3}, {"nm", 1e-6},      {"inch", 25.4}, {"in", 25.4},
        {"microns", 1e-3}, {"millimetre", 1},   {"\\u00B5m", 1e-3}};
    while (!unit.empty() && (unit.back() == '\r' || unit.back() == ' ')) unit.pop_back();
    const auto it = kUnits.find(unit);
    return it == kUnits.end() ? 0 : it->second;
}

// A resolution as written: libtiff gives its rational as a float, 200 as 200.0000003 once
// divided; its 7 significant digits are what the writer meant.
double asWritten(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
    return std::strtod(text, nullptr);
}

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

}  // namespace

FileScale squarePixels(double xMm, double yMm, const std::string& source) {
    FileScale scale;
    scale.source = source;
    if (!(xMm > 0 && yMm > 0 && std::isfinite(xMm) && std::isfinite(yMm))) return scale;
    if (std::abs(xMm - yMm) > 1e-3 * std::max(xMm, yMm)) {
        std::ostringstream text;
        text << "its pixels are not square (" << xMm << " mm across, " << yMm << " mm down, by the "
             << source << "); no scale is taken from it, so the millimetre columns stay empty";
        scale.problem = text.str();
        return scale;
    }
    scale.pxPerMm = 1 / xMm;
    return scale;
}

FileScale tiffScale(const std::string& path) {
    if (!isRegularFile(path)) return {};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, silent, nullptr);
    const std::unique_ptr<TIFF, TiffClose> tiff(TIFFOpenExt(path.c_str(), "rm", options));
    TIFFOpenOptionsFree(options);
    if (!tiff) return {};
    float x = 0, y = 0;
    std::uint16_t unit = 0;
    const char* described = nullptr;
    const bool resolution = TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &x) == 1 &&
                            TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &y) == 1 && x > 0 &&
                            y > 0;
    const bool unitGiven = TIFFGetField(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit) == 1;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEDESCRIPTION, &described);
    const std::string description = described ? described : "";

    const double xr = asWritten(x), yr = asWritten(y);
    const bool imageJ = description.rfind("ImageJ=", 0) == 0;
    const double mm = imageJ ? unitMm(imageJValue(description, "unit")) : 0;
    const bool screenDefault = (x == 72 && y == 72) || (x == 96 && y == 96);
    FileScale scale;
    if (resolution && unitGiven && unit == RESUNIT_CENTIMETER)
        scale = squarePixels(10 / xr, 10 / yr, "TIFF resolution tags (pixels per centimetre)");
    else if (resolution && unitGiven && unit == RESUNIT_INCH && !screenDefault)
        scale = squarePixels(25.4 / xr, 25.4 / yr, "TIFF resolution tags (pixels per inch)");
    else if (resolution && mm > 0)
        scale = squarePixels(mm / xr, mm / yr, "ImageJ description");
    const std::string spacing = imageJValue(description, "spacing");
    const double value = spacing.empty() ? 0 : std::strtod(spacing.c_str(), nullptr);
    if (mm > 0 && value > 0 && std::isfinite(value)) {
        scale.sliceMm = value * mm;
        scale.source += scale.source.empty() ? "ImageJ description" : ", ImageJ spacing";
    }
    return scale;
}

}  // namespace quendra
