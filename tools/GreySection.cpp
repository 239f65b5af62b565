#include "GreySection.h"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <random>
#include <stdexcept>

#include "colour/ColorTraining.h"

namespace quendra {

std::vector<GreySection> greySections() {
    std::vector<GreySection> sections;

    GreySection canine{"section-canine-400x300", {400, 300}, {}};
    canine.roots = {{{{200, 150}, {150, 110}, 0},
                     {{{120, 120}, {1, 1}, 0},      // about 5 px
                      {{170, 190}, {2, 2}, 30},     // about 20 px
                      {{230, 100}, {3, 4}, -20},    // about 40 px
                      {{270, 180}, {4, 4}, 60}}}};  // about 60 px
    canine.dentinPicks = {{150, 70, 40, 25}, {230, 200, 40, 25}};
    canine.backgroundPicks = {{5, 5, 60, 30}, {340, 260, 55, 35}};
    canine.seed = 7;
    sections.push_back(canine);

    GreySection molar{"section-molar-480x320", {480, 320}, {}};
    molar.roots = {{{{110, 190}, {60, 80}, 10}, {{{112, 185}, {5, 8}, 10}}},
                   {{{250, 110}, {70, 55}, -5}, {{{245, 112}, {9, 4}, -5}}},
                   {{{385, 200}, {55, 75}, -15}, {{{380, 205}, {4, 6}, -15}}}};
    molar.dentinPicks = {{80, 220, 30, 30}, {210, 80, 30, 20}, {390, 150, 25, 25}};
    molar.backgroundPicks = {{5, 5, 80, 40}, {400, 20, 70, 50}, {180, 260, 100, 50}};
    molar.seed = 11;
    sections.push_back(molar);

    GreySection dim{"section-dim-300x300", {300, 300}, {}};
    dim.roots = {{{{150, 150}, {110, 120}, 0}, {{{150, 150}, {9, 12}, 20}}}};
    dim.dentin = 40;
    dim.canal = 4;
    dim.background = 6;
    dim.noise = 6;
    dim.dentinPicks = {{80, 80, 40, 40}, {170, 190, 40, 40}};
    dim.backgroundPicks = {{3, 3, 30, 60}, {260, 240, 37, 57}};
    dim.seed = 13;
    sections.push_back(dim);
    return sections;
}

cv::Mat rootsMask(const GreySection& section) {
    cv::Mat roots = cv::Mat::zeros(section.size, CV_8UC1);
    for (const GreyRoot& root : section.roots) roots |= ellipseMask(section.size, root.outline);
    return roots;
}

cv::Mat renderGreySection(const GreySection& section, std::vector<SectionCanal>* canals) {
    const cv::Mat roots = rootsMask(section);
    cv::Mat anyCanal = cv::Mat::zeros(section.size, CV_8UC1);
    if (canals) canals->clear();
    for (const GreyRoot& root : section.roots) {
        const cv::Mat outline = ellipseMask(section.size, root.outline);
        for (const SampleEllipse& c : root.canals) {
            const cv::Mat mask = ellipseMask(section.size, c) & outline;
            anyCanal |= mask;
            if (canals) {
                const cv::Moments m = cv::moments(mask, true);
                canals->push_back({mask, {{m.m10 / m.m00, m.m01 / m.m00}, cv::countNonZero(mask)}});
            }
        }
    }

    // Growth rings about each root's centre, as the dentin shows them.
    cv::Mat grey(section.size, CV_32F, cv::Scalar(section.background));
    for (const GreyRoot& root : section.roots) {
        const cv::Mat outline = ellipseMask(section.size, root.outline);
        for (int y = 0; y < grey.rows; ++y)
            for (int x = 0; x < grey.cols; ++x)
                if (outline.at<uchar>(y, x)) {
                    const double r =
                        std::hypot(x - root.outline.centre.x, y - root.outline.centre.y);
                    grey.at<float>(y, x) =
                        static_cast<float>(section.dentin + 6 * std::sin(r / 4.0));
                }
    }
    grey.setTo(cv::Scalar(section.canal), anyCanal);
    cv::GaussianBlur(grey, grey, {0, 0}, section.blur);
    std::mt19937 random(section.seed);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(section.noise));
    cv::Mat picture(section.size, CV_8UC3);
    for (int y = 0; y < grey.rows; ++y)
        for (int x = 0; x < grey.cols; ++x) {
            const float v = grey.at<float>(y, x) + noise(random);
            const int stepped =
                section.greyStep * static_cast<int>(std::lround(v / section.greyStep));
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b::all(cv::saturate_cast<uchar>(stepped));
        }
    return picture;
}

void pickSectionColors(const GreySection& section, const cv::Mat& picture,
                       ColorTraining& training) {
    const cv::Mat roots = rootsMask(section);
    cv::Mat canals = cv::Mat::zeros(section.size, CV_8UC1);
    for (const GreyRoot& root : section.roots)
        for (const SampleEllipse& c : root.canals) canals |= ellipseMask(section.size, c);
    const auto pick = [&](const std::vector<cv::Rect>& rects, int colorClass, bool onDentin) {
        training.setColorClass(colorClass);
        for (const cv::Rect& r : rects) {
            const int inRoots = cv::countNonZero(roots(r));
            const bool ok =
                onDentin ? inRoots == r.area() && cv::countNonZero(canals(r)) == 0 : inRoots == 0;
            if (!ok) throw std::logic_error("section pick " + section.name + " leaves its class");
            training.addSamples(picture, r.x, r.y, r.x + r.width, r.y + r.height);
        }
    };
    pick(section.dentinPicks, ClassEnamel, true);
    pick(section.backgroundPicks, ClassGum, false);
}

}  // namespace quendra
