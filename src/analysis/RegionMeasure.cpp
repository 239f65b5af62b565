#include "analysis/RegionMeasure.h"

#include <algorithm>
#include <cmath>

namespace quendra {

EllipseMeasure measureRegion(const Region& region) {
    const double cxx = region.sumXX / region.area;
    const double cyy = region.sumYY / region.area;
    const double cxy = region.sumXY / region.area;
    // -2.0 * cxy keeps the sign of a zero moment negative, so a horizontal bar gives -90.
    const double theta = 0.5 * std::atan2(-2.0 * cxy, cyy - cxx);
    const double s = cxx + cyy;
    const double w = std::sqrt((cxx - cyy) * (cxx - cyy) + 4 * cxy * cxy);
    const double lambda1 = (s + w) / 2;
    const double lambda2 = std::max((s - w) / 2, 0.0);
    return {static_cast<float>(theta * kDegreesPerRadian),
            static_cast<float>(2 * std::sqrt(lambda1)), static_cast<float>(2 * std::sqrt(lambda2))};
}

}  // namespace quendra
