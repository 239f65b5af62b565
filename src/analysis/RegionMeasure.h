#pragma once

// The ellipse with the same second moments as a region.
//
// Image coordinates: x rightwards, y downwards. With a = angle in radians, (cos a, sin a)
// points across the long axis and (-sin a, cos a) along it; so angle 0 means a long axis
// parallel to the columns (vertical in the image), and a positive angle turns the long axis
// from the downward vertical toward negative x. A long axis from upper left to lower right
// gives a negative angle. For a filled ellipse with semi-axes A >= B the measure gives
// majorAxis A and minorAxis B (the variance along a semi-axis of length A is A²/4).

#include "analysis/Regions.h"

namespace quendra {

// π as every conversion between degrees and radians takes it, to eight decimals; measurements
// stored in earlier result files were computed with exactly this value.
inline constexpr double kPi = 3.14159265;
inline constexpr double kDegreesPerRadian = 180 / kPi;

struct EllipseMeasure {
    float angle;      // long principal axis, degrees in [-90, 90]
    float majorAxis;  // semi-axis along the long principal axis, pixels
    float minorAxis;  // semi-axis across it, pixels; 0 for a region in a single row
};

// Closed form over area, sumXY, sumXX and sumYY (the moments must have been accumulated), in
// double precision, the results rounded to float. The moments are central about the exact
// centroid and treat both axes alike (Regions.h), so a region and the same region turned by 90
// degrees get the same semi-axes: a 2 x 31 pixel bar has a minor semi-axis of 1 (variance 1/4)
// lying and standing. An eigenvalue that rounding makes slightly negative is taken as 0, so no
// axis is NaN.
EllipseMeasure measureRegion(const Region& region);

}  // namespace quendra
