#pragma once

// Result records of the analysis of one frame. Areas in pixels; centres are frame pixel
// coordinates (x column rightwards, y row downwards) of the centre of mass truncated toward
// zero, as the recognition-data text and the acceptance test take them; meanX and meanY are
// the centre of mass itself, in full precision (pixel centres at integer coordinates); angles
// and semi-axes as RegionMeasure.h defines them.

namespace quendra {

enum ToothType : int {
    ToothUnknown = -1,        // "Zahn nicht erkannt."
    ToothFront = 0,           // "Frontzahn"
    ToothUpperPremolar4 = 1,  // "4er OK-Praemolar"
    ToothPremolar = 2,        // "5er OK- oder UK-Praemolar oder 4er UK-Praemolar"
    ToothUpperMolar = 3,      // "OK-Molar"
    ToothLowerMolar = 4,      // "UK-Molar"
};

struct CanalResult {
    float area;
    int centerX;
    int centerY;
    float angle;      // degrees in [-90, 90], 0 = long axis vertical
    float majorAxis;  // semi-axis, pixels
    float minorAxis;  // semi-axis, pixels
    double meanX = 0;
    double meanY = 0;
};

struct ToothResult {
    float area;
    int centerX;
    int centerY;
    float angle;
    float majorAxis;
    float minorAxis;
    int toothType;  // a ToothType
    double meanX = 0;
    double meanY = 0;
};

}  // namespace quendra
