#include "SampleScene.h"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <random>
#include <sstream>
#include <stdexcept>

#include "analysis/ToothResult.h"
#include "colour/ColorTraining.h"

namespace quendra {

namespace {

const cv::Vec3d kGum(100, 88, 168);
const cv::Vec3d kEnamel(198, 222, 240);
const cv::Vec3d kCanal(46, 52, 72);

// The type the canal centres stand for, decided in double precision geometry: one canal in a
// round tooth is a premolar, in a long one a front tooth; three canals make a lower molar when
// their centroid lies within a third of the circumradius of the circumcentre.
int expectedType(const SampleScene& scene, const std::vector<CanalTruth>& canals) {
    switch (canals.size()) {
        case 1: {
            const double ratio = std::max(scene.tooth.axes.width, scene.tooth.axes.height) /
                                 std::min(scene.tooth.axes.width, scene.tooth.axes.height);
            return ratio < 1.5 ? ToothPremolar : ToothFront;
        }
        case 2:
            return ToothUpperPremolar4;
        case 3: {
            const cv::Point2d a = canals[0].centre, b = canals[1].centre, c = canals[2].centre;
            const double d = 2 * (a.x * (b.y - c.y) + b.x * (c.y - a.y) + c.x * (a.y - b.y));
            const double a2 = a.dot(a), b2 = b.dot(b), c2 = c.dot(c);
            const cv::Point2d centre((a2 * (b.y - c.y) + b2 * (c.y - a.y) + c2 * (a.y - b.y)) / d,
                                     (a2 * (c.x - b.x) + b2 * (a.x - c.x) + c2 * (b.x - a.x)) / d);
            const cv::Point2d centroid = (a + b + c) / 3.0;
            return cv::norm(centre - centroid) < cv::norm(centre - a) / 3 ? ToothLowerMolar
                                                                          : ToothUpperMolar;
        }
        case 4:
            return ToothUpperMolar;
        default:
            return ToothUnknown;
    }
}

cv::Point2d relative(const SampleScene& s, double dx, double dy) {
    return s.tooth.centre + cv::Point2d(dx, dy);
}

}  // namespace

cv::Mat ellipseMask(cv::Size size, const SampleEllipse& e) {
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    cv::ellipse(mask, cv::Point(cvRound(e.centre.x), cvRound(e.centre.y)),
                cv::Size(cvRound(e.axes.width), cvRound(e.axes.height)), e.angle, 0, 360,
                cv::Scalar(255), cv::FILLED, cv::LINE_8);
    return mask;
}

std::vector<SampleScene> sampleScenes() {
    std::vector<SampleScene> scenes;

    SampleScene molar{"molar-640x480", {640, 480}, {{320, 240}, {170, 150}, 10}, {}, {}, {}, 11};
    molar.canals = {{relative(molar, -50, -32), {14, 11}, 20},
                    {relative(molar, 56, -22), {13, 12}, -30},
                    {relative(molar, 4, 56), {12, 15}, 0}};
    molar.enamelPicks = {{200, 150, 60, 40},
                         {380, 140, 50, 50},
                         {260, 320, 120, 30},
                         {190, 250, 40, 60},
                         {440, 240, 40, 50}};
    molar.gumPicks = {{30, 30, 120, 80}, {500, 380, 110, 80}, {30, 380, 80, 80}, {540, 40, 80, 80}};
    scenes.push_back(molar);

    SampleScene front{"front-640x480", {640, 480}, {{320, 240}, {95, 190}, -15}, {}, {}, {}, 23};
    front.canals = {{relative(front, 6, 10), {18, 26}, -15}};
    front.enamelPicks = {{290, 110, 50, 50}, {290, 320, 60, 40}, {260, 200, 25, 60}};
    front.gumPicks = {{30, 30, 150, 100}, {460, 340, 150, 110}, {40, 360, 100, 90}};
    scenes.push_back(front);

    SampleScene premolar{
        "premolar-1920x1080", {1920, 1080}, {{960, 540}, {330, 300}, 25}, {}, {}, {}, 37};
    premolar.canals = {{relative(premolar, -100, -45), {32, 26}, 30},
                       {relative(premolar, 105, 35), {30, 27}, -20}};
    premolar.enamelPicks = {{760, 340, 140, 100},
                            {1000, 650, 160, 100},
                            {950, 300, 120, 80},
                            {700, 560, 100, 100},
                            {1150, 420, 80, 100}};
    premolar.gumPicks = {
        {60, 60, 300, 200}, {1500, 800, 300, 200}, {80, 800, 250, 200}, {1550, 80, 300, 200}};
    scenes.push_back(premolar);
    return scenes;
}

cv::Mat renderScene(const SampleScene& scene, SampleTruth* truth) {
    const cv::Mat toothMask = ellipseMask(scene.size, scene.tooth);
    std::vector<cv::Mat> canalMasks;
    cv::Mat anyCanal = cv::Mat::zeros(scene.size, CV_8UC1);
    for (const SampleEllipse& c : scene.canals) {
        canalMasks.push_back(ellipseMask(scene.size, c) & toothMask);
        anyCanal |= canalMasks.back();
    }

    std::mt19937 random(scene.seed);
    const auto noise = [&random](int amplitude) {
        return static_cast<int>(random() % static_cast<unsigned>(2 * amplitude + 1)) - amplitude;
    };
    cv::Mat picture(scene.size, CV_8UC3);
    for (int y = 0; y < scene.size.height; ++y) {
        for (int x = 0; x < scene.size.width; ++x) {
            const double light =
                0.93 + 0.12 * (0.7 * x / scene.size.width + 0.3 * y / scene.size.height);
            cv::Vec3d colour;
            int amplitude;
            if (anyCanal.at<uchar>(y, x)) {
                colour = kCanal;
                amplitude = 4;
            } else if (toothMask.at<uchar>(y, x)) {
                const double texture = 5 * std::sin(x / 17.0 + y / 29.0) * std::cos(y / 13.0);
                colour = (kEnamel + cv::Vec3d::all(texture)) * light;
                amplitude = 6;
            } else {
                colour = kGum * light;
                amplitude = 8;
            }
            cv::Vec3b& p = picture.at<cv::Vec3b>(y, x);
            for (int ch = 0; ch < 3; ++ch)
                p[ch] = cv::saturate_cast<uchar>(colour[ch] + noise(amplitude));
        }
    }

    if (truth) {
        truth->canals.clear();
        for (const cv::Mat& m : canalMasks) {
            const cv::Moments mo = cv::moments(m, true);
            truth->canals.push_back({{mo.m10 / mo.m00, mo.m01 / mo.m00}, cv::countNonZero(m)});
        }
        // The analysis reports canals by their first pixel in scan order.
        std::vector<std::pair<cv::Point, CanalTruth>> ordered;
        for (std::size_t i = 0; i < canalMasks.size(); ++i) {
            std::vector<cv::Point> points;
            cv::findNonZero(canalMasks[i], points);
            ordered.push_back({points.front(), truth->canals[i]});
        }
        std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
            return std::make_pair(a.first.y, a.first.x) < std::make_pair(b.first.y, b.first.x);
        });
        truth->canals.clear();
        for (const auto& o : ordered) truth->canals.push_back(o.second);
        truth->toothType = expectedType(scene, truth->canals);
    }
    return picture;
}

void pickSampleColors(const SampleScene& scene, const cv::Mat& picture, ColorTraining& training) {
    const cv::Mat toothMask = ellipseMask(scene.size, scene.tooth);
    const auto pick = [&](const std::vector<cv::Rect>& rects, int colorClass, bool onTooth) {
        training.setColorClass(colorClass);
        for (const cv::Rect& r : rects) {
            cv::Mat area = toothMask(r);
            cv::Mat canals = cv::Mat::zeros(scene.size, CV_8UC1);
            for (const SampleEllipse& c : scene.canals) canals |= ellipseMask(scene.size, c);
            const bool ok =
                onTooth ? cv::countNonZero(area) == r.area() && cv::countNonZero(canals(r)) == 0
                        : cv::countNonZero(area) == 0;
            if (!ok) throw std::logic_error("sample pick " + scene.name + " leaves its class");
            training.addSamples(picture, r.x, r.y, r.x + r.width, r.y + r.height);
        }
    };
    pick(scene.enamelPicks, 1, true);
    pick(scene.gumPicks, 2, false);
}

ColorClassifier trainedClassifier(const std::vector<SampleScene>& scenes) {
    ColorTraining training;
    for (const SampleScene& scene : scenes) pickSampleColors(scene, renderScene(scene), training);
    return classifierOf(training.samples());
}

std::string formatTruth(const SampleTruth& truth) {
    std::ostringstream out;
    out.precision(10);
    out << "type " << truth.toothType << "\n";
    for (const CanalTruth& c : truth.canals)
        out << "canal " << c.centre.x << " " << c.centre.y << " " << c.area << "\n";
    return out.str();
}

}  // namespace quendra
