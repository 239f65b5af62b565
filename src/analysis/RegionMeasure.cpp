#include "analysis/RegionMeasure.h"

#include <algorithm>
#include <cmath>

namespace quendra {

EllipseMeasure measureRegion(const Region& region) {
    const float cxx = region.sumXX / region.area;
    const float cyy = region.sumYY / region.area;
    const float cxy = region.sumXY / region.area;
    // -2.0 * cxy keeps the sign of a zero moment negative, so a horizontal bar gives -90.
    const float theta = static_cast<float>(0.5 * std::atan2(-2.0 * cxy, double{cyy - cxx}));
    const float angle = static_cast<float>(theta * kDegreesPerRadian);
    const float s = cxx + cyy;
    const float w =
        static_cast<float>(std::sqrt(double{(cxx - cyy) * (cxx - cyy) + 4 * cxy * cxy}));
    const float lambda1 = (s + w) / 2;
    const float lambda2 = std::max((s - w) / 2, 0.0f);
    return {angle, static_cast<float>(2 * std::sqrt(double{lambda1})),
            static_cast<float>(2 * std::sqrt(double{lambda2}))};
}

}  // namespace quendra
