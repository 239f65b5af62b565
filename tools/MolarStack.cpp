#include "MolarStack.h"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <random>

#include "colour/ColorTraining.h"

namespace quendra {

namespace {

const double kBackground = 28, kDentin = 150, kEnamel = 215, kCanal = 40;

// Heights (share of the stack from the apex) where the parts begin.
constexpr double kMesialDivides = 0.2, kFurcation = 0.5, kChamber = 0.76, kCrown = 0.86,
                 kCusps = 0.95;

double heightOf(const MolarStack& m, int index) {
    return static_cast<double>(index) / (m.slices - 1);
}

struct Layout {
    cv::Point2d distal, mesial;  // root centres
    cv::Size2d distalAxes, mesialAxes;
    cv::Point2d distalCanal, mesialCanals[2];
    double canalRadius;
};

Layout layoutAt(const MolarStack& m, double t) {
    const double grow = std::min(1.0, t / kFurcation);
    const double shift = m.drift * t;
    Layout l;
    l.distal = {m.size.width * 0.31 + shift, m.size.height * 0.52};
    l.mesial = {m.size.width * 0.71 + shift, m.size.height * 0.5};
    l.distalAxes = {4 + 13 * grow, 5 + 12 * grow};
    l.mesialAxes = {5 + 12 * grow, 7 + 22 * grow};
    l.distalCanal = l.distal;
    const double apart = t < kMesialDivides ? 0 : std::min(1.0, (t - kMesialDivides) / 0.06);
    l.mesialCanals[0] = l.mesial + cv::Point2d(0, -apart * 0.45 * l.mesialAxes.height);
    l.mesialCanals[1] = l.mesial + cv::Point2d(0, apart * 0.45 * l.mesialAxes.height);
    l.canalRadius = 1.2 + 1.6 * grow;
    return l;
}

void ellipse(cv::Mat& m, cv::Point2d c, cv::Size2d axes, double value) {
    cv::ellipse(m, cv::RotatedRect(c, cv::Size2f(axes * 2.0), 0), cv::Scalar(value), cv::FILLED,
                cv::LINE_8);
}

}  // namespace

int MolarStack::chamberSlice() const {
    return static_cast<int>(std::ceil(kChamber * (slices - 1)));
}

int MolarStack::canals(int index, int root) const {
    const double t = heightOf(*this, index);
    if (t >= kChamber) return 0;
    if (root == 0) return t >= 0.07 ? 1 : 0;
    if (t < 0.06) return 0;
    return t < kMesialDivides + 0.02 ? 1 : 2;
}

cv::Mat MolarStack::render(int index) const {
    const double t = heightOf(*this, index);
    const Layout l = layoutAt(*this, t);
    cv::Mat grey(size, CV_64FC1, cv::Scalar(kBackground));
    if (t >= kCrown) {
        // The crown: an enamel cap round a dentin core, the cusps apart at the top.
        const cv::Point2d centre = (l.distal + l.mesial) * 0.5;
        if (t < kCusps) {
            ellipse(grey, centre, {44, 40}, kEnamel);
            ellipse(grey, centre, {38, 34}, kDentin);
            if (t < 0.9)
                for (const double dx : {-12.0, 12.0})
                    ellipse(grey, centre + cv::Point2d(dx, 0), {2, 2}, kCanal);
        } else {
            for (const cv::Point2d d : {cv::Point2d(-22, -18), {22, -18}, {-22, 18}, {22, 18}})
                ellipse(grey, centre + d, {11, 10}, kEnamel);
        }
    } else {
        if (t >= 0.04) ellipse(grey, l.distal, l.distalAxes, kDentin);
        if (t >= 0.03) ellipse(grey, l.mesial, l.mesialAxes, kDentin);
        if (t >= kFurcation) {
            // The bridge closes the gap between the roots from its middle outwards.
            const double half = std::min(1.0, (t - kFurcation) / 0.08) * 1.25 * l.distalAxes.height;
            cv::rectangle(grey, cv::Point2d(l.distal.x, l.distal.y - half),
                          cv::Point2d(l.mesial.x, l.distal.y + half), cv::Scalar(kDentin),
                          cv::FILLED);
        }
        if (t >= kChamber) {
            ellipse(grey, (l.distal + l.mesial) * 0.5,
                    {(l.mesial.x - l.distal.x) / 2 + 3, 0.45 * l.mesialAxes.height + 2}, kCanal);
        } else {
            if (canals(index, 0))
                ellipse(grey, l.distalCanal, {l.canalRadius, l.canalRadius}, kCanal);
            if (canals(index, 1) == 1) {
                // About to divide: an oval over both branches.
                const double spread = std::abs(l.mesialCanals[1].y - l.mesial.y);
                ellipse(grey, l.mesial, {l.canalRadius, l.canalRadius + spread}, kCanal);
            } else if (canals(index, 1) == 2) {
                for (const cv::Point2d& c : l.mesialCanals)
                    ellipse(grey, c, {l.canalRadius, l.canalRadius}, kCanal);
            }
        }
    }
    if (blur > 0) cv::GaussianBlur(grey, grey, {0, 0}, blur);
    std::mt19937 random(seed * 100003u + static_cast<unsigned>(index));
    std::normal_distribution<double> spread(0, noise);
    cv::Mat out(size, CV_8UC1);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x)
            out.at<uchar>(y, x) = cv::saturate_cast<uchar>(grey.at<double>(y, x) + spread(random));
    return out;
}

void MolarStack::pickColors(ColorTraining& training) const {
    cv::Mat frame;
    cv::cvtColor(render(static_cast<int>(0.4 * slices)), frame, cv::COLOR_GRAY2BGR);
    const Layout l = layoutAt(*this, 0.4);
    const cv::Point m(cvRound(l.mesial.x), cvRound(l.mesial.y));
    training.setColorClass(ClassEnamel);
    training.addSamples(frame, m.x - 4, m.y + 3, m.x + 4, m.y + 9);
    training.addSamples(frame, m.x - 4, m.y - 9, m.x + 4, m.y - 3);
    training.setColorClass(ClassGum);
    training.addSamples(frame, 2, 2, 18, 14);
    training.addSamples(frame, size.width - 18, size.height - 14, size.width - 2, size.height - 2);
}

}  // namespace quendra
