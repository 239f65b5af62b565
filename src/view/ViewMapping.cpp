#include "view/ViewMapping.h"

#include <algorithm>
#include <cmath>

QPoint frameAt(QPointF viewPoint, double scale, QPoint origin) {
    return {static_cast<int>(std::floor((viewPoint.x() - origin.x()) / scale)),
            static_cast<int>(std::floor((viewPoint.y() - origin.y()) / scale))};
}

QSize shownSize(QSize frame, double scale) {
    return {std::max(1, static_cast<int>(std::lround(frame.width() * scale))),
            std::max(1, static_cast<int>(std::lround(frame.height() * scale)))};
}

QPoint frameOrigin(QSize shown, QSize view, QPoint scroll) {
    const auto axis = [](int frame, int room, int scrolled) {
        return frame < room ? (room - frame) / 2 : -scrolled;
    };
    return {axis(shown.width(), view.width(), scroll.x()),
            axis(shown.height(), view.height(), scroll.y())};
}

double fitScale(QSize frame, QSize area) {
    if (frame.isEmpty()) return 1;
    return std::min(static_cast<double>(area.width()) / frame.width(),
                    static_cast<double>(area.height()) / frame.height());
}

double zoomedScale(double scale, int steps) {
    // The level's number: scale = 2^(level / 2).
    const double level = 2 * std::log2(scale);
    const double nearest = std::round(level);
    const double from = std::abs(level - nearest) < 1e-6 ? nearest
                        : steps > 0                      ? std::floor(level)
                                                         : std::ceil(level);
    return std::clamp(std::exp2((from + steps) / 2), kMinScale, kMaxScale);
}
