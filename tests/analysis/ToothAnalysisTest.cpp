#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "PaintedTooth.h"
#include "SampleScene.h"
#include "analysis/ToothType.h"

namespace quendra {

void PrintTo(const SampleScene& scene, std::ostream* os) {
    *os << scene.name;
}

namespace {

CanalResult canalAt(int x, int y) {
    return {100, x, y, 0, 5, 5};
}

ToothResult toothWithAxes(float major, float minor) {
    return {1000, 0, 0, 0, major, minor, -1};
}

TEST(ToothType, ThreeCanalsByTheCircumcentre) {
    const ToothResult t = toothWithAxes(10, 10);
    // Centroid and circumcentre in the same column: the quotient is undefined.
    EXPECT_EQ(toothTypeForThreeCanals(t, {canalAt(10, 0), canalAt(0, 20), canalAt(20, 20)}),
              ToothUpperMolar);
    EXPECT_EQ(toothTypeForThreeCanals(t, {canalAt(11, 0), canalAt(0, 20), canalAt(20, 20)}),
              ToothLowerMolar);
    EXPECT_EQ(toothTypeForThreeCanals(t, {canalAt(0, 0), canalAt(10, 10), canalAt(20, 20)}),
              ToothUpperMolar);
}

TEST(ToothType, OneCanalByTheToothsRoundness) {
    EXPECT_EQ(toothTypeForOneCanal(toothWithAxes(14, 10), {}), ToothPremolar);
    EXPECT_EQ(toothTypeForOneCanal(toothWithAxes(15, 10), {}), ToothFront);
    EXPECT_EQ(toothTypeForOneCanal(toothWithAxes(15, 0), {}), ToothFront);
}

TEST(ToothType, ByCanalCount) {
    const ToothResult t = toothWithAxes(10, 10);
    const std::vector<CanalResult> c(5, canalAt(1, 1));
    EXPECT_EQ(decideToothType(t, {c.begin(), c.begin() + 2}), ToothUpperPremolar4);
    EXPECT_EQ(decideToothType(t, {c.begin(), c.begin() + 4}), ToothUpperMolar);
    EXPECT_EQ(decideToothType(t, c), ToothUnknown);
}

// The bundled scenes, analysed with colour classes trained on them as the generator does.
class SampleAnalysis : public ::testing::TestWithParam<SampleScene> {
protected:
    void SetUp() override {
        picture = renderScene(GetParam(), &truth);
        classes = trainedClassifier({GetParam()});
    }
    cv::Mat picture;
    SampleTruth truth;
    ColorClassifier classes;
    ToothAnalysis analysis;
};

TEST_P(SampleAnalysis, FindsTheTypeAndEveryCanal) {
    analysis.calculate(picture, classes);
    ASSERT_TRUE(analysis.hasResults());
    EXPECT_EQ(analysis.getToothResult().toothType, truth.toothType);
    const auto& canals = analysis.getCanals();
    ASSERT_EQ(canals.size(), truth.canals.size());
    for (std::size_t i = 0; i < canals.size(); ++i) {
        SCOPED_TRACE("canal " + std::to_string(i + 1));
        EXPECT_NEAR(canals[i].centerX, truth.canals[i].centre.x, 1.0);
        EXPECT_NEAR(canals[i].centerY, truth.canals[i].centre.y, 1.0);
        EXPECT_NEAR(canals[i].area, truth.canals[i].area, 0.02 * truth.canals[i].area);
    }
    const ToothResult tooth = analysis.getToothResult();
    EXPECT_NEAR(tooth.centerX, GetParam().tooth.centre.x, 3);
    EXPECT_NEAR(tooth.centerY, GetParam().tooth.centre.y, 3);
}

TEST_P(SampleAnalysis, SettingsThatAcceptNoCanal) {
    analysis.setEllipseRadius(0);
    analysis.calculate(picture, classes);
    EXPECT_FALSE(analysis.hasResults());
    EXPECT_EQ(analysis.getToothResult().toothType, ToothUnknown);

    analysis.setEllipseRadius(8);
    analysis.setThreshold(0);
    analysis.calculate(picture, classes);
    EXPECT_FALSE(analysis.hasResults());

    analysis.setThreshold(70);
    analysis.setBorder(std::min(picture.cols, picture.rows) / 2);
    analysis.calculate(picture, classes);
    EXPECT_FALSE(analysis.hasResults());
    EXPECT_TRUE(analysis.searchWindow().empty());
}

TEST_P(SampleAnalysis, AnyBorderKeepsTheWindowInsideTheFrame) {
    for (const int border : {-1000000, -5, 0, 3, 1 << 30, INT_MIN, INT_MAX}) {
        analysis.setBorder(border);
        analysis.calculate(picture, classes);
        const cv::Rect w = analysis.searchWindow();
        EXPECT_TRUE(w.x >= 0 && w.y >= 0 && w.width >= 0 && w.height >= 0 &&
                    w.x + w.width <= picture.cols && w.y + w.height <= picture.rows)
            << border << ": " << w;
    }
    analysis.setBorder(0);
    analysis.calculate(picture, classes);
    EXPECT_EQ(analysis.searchWindow(), cv::Rect(0, 0, picture.cols, picture.rows));
    EXPECT_TRUE(analysis.hasResults());
}

TEST_P(SampleAnalysis, FrameOfANewSizeRemakesTheMasks) {
    analysis.calculate(picture, classes);
    cv::Mat small;
    cv::Mat(picture, cv::Rect(0, 0, 100, 60)).copyTo(small);
    analysis.calculate(small, classes);
    EXPECT_EQ(analysis.toothMask().size(), small.size());
    EXPECT_FALSE(analysis.hasResults());
    analysis.calculate(picture, classes);
    EXPECT_TRUE(analysis.hasResults());
}

INSTANTIATE_TEST_SUITE_P(Scenes, SampleAnalysis, ::testing::ValuesIn(sampleScenes()),
                         [](const auto& scene) {
                             std::string name = scene.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ToothAnalysis, ClassesWithoutSamplesFindNothing) {
    const ColorClassifier classes = classifierOf({});
    ToothAnalysis analysis;
    analysis.calculate(cv::Mat(50, 50, CV_8UC3, cv::Scalar(200, 220, 240)), classes);
    EXPECT_FALSE(analysis.hasResults());
    EXPECT_EQ(cv::countNonZero(analysis.toothMask() != 255), 0);
}

TEST(ToothAnalysis, CanalsMustBeLargerThanFiftyPixels) {
    PaintedTooth f({100, 80});
    f.frame({10, 10, 50, 50}).setTo(PaintedTooth::kEnamel);
    f.frame({22, 26, 10, 5}).setTo(cv::Scalar::all(10));  // 50 pixels: skipped
    f.frame({30, 40, 17, 3}).setTo(cv::Scalar::all(10));  // 51 pixels: a canal
    f.analyse();
    ASSERT_TRUE(f.analysis.hasResults());
    ASSERT_EQ(f.analysis.getCanals().size(), 1u);
    EXPECT_EQ(f.analysis.getCanals()[0].area, 51);
    EXPECT_EQ(f.analysis.getCanals()[0].centerX, 38);
    EXPECT_EQ(f.analysis.getCanals()[0].centerY, 41);
    EXPECT_EQ(f.analysis.getToothResult().toothType, ToothPremolar);  // a square tooth is round
}

// A canal is a space inside its tooth: not the tooth itself when everything is close in colour
// to its darkest pixel, not the dark background round a root within its box, and every label
// of the label picture has as many pixels as its row's area.
TEST(ToothAnalysis, ACanalIsASpaceInsideTheTooth) {
    {
        SCOPED_TRACE("a frame of tooth colour");
        PaintedTooth f({100, 80});
        f.frame.setTo(PaintedTooth::kEnamel);
        f.analysis.setBorder(0);
        f.analyse();
        EXPECT_TRUE(f.analysis.result().toothFound);
        EXPECT_FALSE(f.analysis.hasResults());
    }
    {
        SCOPED_TRACE("a round root on a dark ring, its canal within");
        PaintedTooth f({100, 80});
        cv::circle(f.frame, {50, 40}, 38, cv::Scalar::all(90), cv::FILLED);
        cv::circle(f.frame, {50, 40}, 26, PaintedTooth::kEnamel, cv::FILLED);
        f.frame({46, 36, 8, 8}).setTo(cv::Scalar::all(100));
        // At 255 the enamel, too, is close to the darkest pixel.
        for (const int threshold : {70, 255}) {
            f.analysis.setThreshold(threshold);
            f.analyse();
            ASSERT_EQ(f.analysis.getCanals().size(), 1u) << threshold;
            EXPECT_EQ(f.analysis.getCanals()[0].area, 64) << threshold;
            cv::Mat labels;
            f.analysis.paintLabels(labels);
            EXPECT_EQ(cv::countNonZero(labels == 1), f.analysis.getToothResult().area);
            EXPECT_EQ(cv::countNonZero(labels == 2), 64);
        }
    }
}

TEST(ToothAnalysis, OfTwoEqualEnamelRegionsTheEarlierIsTheTooth) {
    PaintedTooth f({100, 80});
    f.frame({60, 25, 20, 20}).setTo(PaintedTooth::kEnamel);
    f.frame({25, 30, 20, 20}).setTo(PaintedTooth::kEnamel);
    f.analyse();
    // The right block starts in an earlier row; its mean column 69.5 truncates to 69.
    EXPECT_EQ(f.analysis.getToothResult().centerX, 69);
    EXPECT_EQ(f.analysis.getToothResult().area, 400);
}

}  // namespace
}  // namespace quendra
