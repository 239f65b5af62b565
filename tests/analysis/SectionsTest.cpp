#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "GreySection.h"
#include "RealSections.h"
#include "SampleScene.h"
#include "analysis/CanalThreshold.h"
#include "analysis/ToothAnalysis.h"
#include "colour/ColorTraining.h"
#include "overlay/RecognitionData.h"

namespace quendra {
namespace {

const std::filesystem::path kRealData = std::filesystem::path(QUENDRA_TEST_DATA) / "realdata";

GreySection sectionNamed(const std::string& prefix) {
    for (const GreySection& s : greySections())
        if (s.name.starts_with(prefix)) return s;
    throw std::logic_error("no section " + prefix);
}

// A grey section, its canals' truth and classes trained on it as an operator would.
struct Section {
    explicit Section(const std::string& prefix) : section(sectionNamed(prefix)) {
        picture = renderGreySection(section, &canals);
        pickSectionColors(section, picture, training);
    }
    ColorClassifier classes() const { return classifierOf(training.samples()); }
    GreySection section;
    cv::Mat picture;
    std::vector<SectionCanal> canals;
    ColorTraining training;
};

const FrameResult& analyse(ToothAnalysis& analysis, const cv::Mat& picture,
                           const ColorClassifier& classes, const AnalysisSettings& settings) {
    analysis.setSettings(settings);
    return analysis.calculate(picture, classes);
}

void expectFound(const CanalResult& found, const CanalTruth& truth, double areaTolerance) {
    EXPECT_NEAR(found.meanX, truth.centre.x, 1.0);
    EXPECT_NEAR(found.meanY, truth.centre.y, 1.0);
    EXPECT_NEAR(found.area, truth.area, areaTolerance * truth.area + 4);
}

// The automatic class threshold follows the spacing of the trained colours: a grey training
// exported in steps of 3 grey levels needs a quorum 9 levels away (threshold 10), while colour
// training keeps the default.
TEST(ClassThreshold, FromTheSpacingOfTheTrainedColours) {
    const Section canine("section-canine");
    EXPECT_EQ(canine.classes().automaticThreshold(), 10);
    ColorTraining colour;
    for (const SampleScene& scene : sampleScenes())
        pickSampleColors(scene, renderScene(scene), colour);
    EXPECT_EQ(automaticClassThreshold(colour.samples(), 13), AnalysisSettings{}.classThreshold);
}

// Real micro-CT sections with classes trained from a few rectangles: at the default class
// threshold the grey tooth falls apart into specks and no canal is found. With the automatic one
// and the settings of micro-CT (every root, the border of a picture this size), with the fixed
// and with the automatic canal threshold, in every orientation: each has its one canal where an
// independent reading has it (the hole of the filled outline of Otsu's dentin at the canal's
// place, OpenCV's labelling: overlap at least 0.5 of the union), no false canal, and no canal
// pixel outside the filled outline.
TEST(RealSections, OneCanalInsideItsRootInEveryOrientation) {
    ColorTraining training;
    pickRealSectionColors(kRealData, training);
    const ColorClassifier classes = classifierOf(training.samples());
    AnalysisSettings settings;
    settings.autoClassThreshold = true;
    settings.teeth = TeethChoice::All;
    settings.border = 10;
    for (const RealSection& s : realSections()) {
        const cv::Mat upright = cv::imread((kRealData / s.file).string(), cv::IMREAD_COLOR);
        ASSERT_FALSE(upright.empty());
        ToothAnalysis atDefault;
        EXPECT_FALSE(analyse(atDefault, upright, classes, {}).hasResults) << s.file;
        for (int turn = 0; turn < 8; ++turn) {
            settings.autoThreshold = turn >= 4;
            SCOPED_TRACE(s.file + " turned " + std::to_string(90 * (turn % 4)) +
                         (settings.autoThreshold ? ", automatic canal threshold" : ""));
            cv::Mat picture = upright.clone(), marker = cv::Mat::zeros(upright.size(), CV_8UC1);
            marker.at<uchar>(s.canal) = 255;
            for (int t = 0; t < turn % 4; ++t) {
                cv::rotate(picture, picture, cv::ROTATE_90_CLOCKWISE);
                cv::rotate(marker, marker, cv::ROTATE_90_CLOCKWISE);
            }
            cv::Point canalAt;
            cv::minMaxLoc(marker, nullptr, nullptr, nullptr, &canalAt);

            cv::Mat grey, dentin, outside;
            cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
            cv::GaussianBlur(grey, grey, {0, 0}, 1);
            cv::threshold(grey, dentin, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
            cv::copyMakeBorder(dentin, outside, 1, 1, 1, 1, cv::BORDER_CONSTANT, 0);
            cv::floodFill(outside, cv::Point(0, 0), 128);
            const cv::Mat filled = outside(cv::Rect(1, 1, grey.cols, grey.rows)) != 128;
            cv::Mat holes;
            cv::connectedComponents(filled & ~dentin, holes, 4);
            const int hole = holes.at<int>(canalAt);
            ASSERT_GT(hole, 0);
            const cv::Mat truth = holes == hole;

            ToothAnalysis analysis;
            const FrameResult& result = analyse(analysis, picture, classes, settings);
            cv::Mat labels;
            analysis.paintLabels(labels);
            int label = 0, canalLabel = 0, canals = 0;
            for (const ToothFinding* tooth : result.teeth()) {
                label += 1;
                if (!tooth->canals.empty()) canalLabel = label + 1;
                label += static_cast<int>(tooth->canals.size());
                canals += static_cast<int>(tooth->canals.size());
            }
            ASSERT_EQ(canals, 1);
            const cv::Mat canal = labels == canalLabel;
            EXPECT_GE(cv::countNonZero(canal & truth), 0.5 * cv::countNonZero(canal | truth));
            EXPECT_EQ(cv::countNonZero(canal & ~filled), 0);
        }
    }
}

// Canals of 5 to 60 pixels in a blurred, noisy grey section: the default minimum refuses all
// below 50 pixels, a minimum of 3 finds every one where it was drawn.
TEST(GreySections, SmallCanalsWithTheMinimumSet) {
    const Section canine("section-canine");
    ToothAnalysis analysis;
    AnalysisSettings settings;
    settings.autoClassThreshold = true;
    settings.autoThreshold = true;
    const FrameResult& standard = analyse(analysis, canine.picture, canine.classes(), settings);
    for (const CanalResult& c : standard.canals) EXPECT_GT(c.area, 50);
    settings.minCanalArea = 3;
    const FrameResult& small = analyse(analysis, canine.picture, canine.classes(), settings);
    ASSERT_EQ(small.canals.size(), canine.canals.size());
    // Reported in scan order of their first pixels; matched to the drawn ones by position.
    for (const SectionCanal& drawn : canine.canals) {
        SCOPED_TRACE(drawn.truth.area);
        const auto found = std::find_if(small.canals.begin(), small.canals.end(), [&](auto& c) {
            return cv::norm(cv::Point2d(c.meanX, c.meanY) - drawn.truth.centre) < 2;
        });
        ASSERT_NE(found, small.canals.end());
        expectFound(*found, drawn.truth, 0.5);
    }
}

// A section through three roots: with the largest alone one root is analysed and the two
// others are counted; with all, each root is a tooth of its own with its canal, ordered left
// to right, measured and written in the text. (Their labels against OpenCV's components are
// SectionOfAnalysis.EveryToothARootWithItsCanals'.)
TEST(GreySections, ThreeRoots) {
    const Section molar("section-molar");
    ToothAnalysis analysis;
    AnalysisSettings settings;
    settings.autoClassThreshold = true;
    settings.autoThreshold = true;
    const FrameResult& largest = analyse(analysis, molar.picture, molar.classes(), settings);
    EXPECT_EQ(largest.teethLeftOut, 2);
    EXPECT_TRUE(largest.furtherTeeth.empty());
    ASSERT_EQ(largest.canals.size(), 1u);

    settings.teeth = TeethChoice::All;
    const FrameResult& all = analyse(analysis, molar.picture, molar.classes(), settings);
    EXPECT_EQ(all.teethLeftOut, 0);
    const std::vector<const ToothFinding*> teeth = all.teeth();
    ASSERT_EQ(teeth.size(), 3u);
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(teeth[i]->canals.size(), 1u);
        expectFound(teeth[i]->canals[0], molar.canals[i].truth, 0.25);
        EXPECT_NEAR(teeth[i]->tooth.meanX, molar.section.roots[i].outline.centre.x, 3);
    }

    EXPECT_EQ(analysis.measureShapes().size(), 6u);

    std::ostringstream text;
    writeRecognitionData(text, all);
    for (const char* heading : {"Zahn 1\n", "Zahn 2\n", "Zahn 3\n", "Schwellwert (automatisch): "})
        EXPECT_NE(text.str().find(heading), std::string::npos) << heading;
}

// A small narrow class beside a large wide one, as a canal's distances beside the dentin's:
// the split falls in the gap between them (Otsu's between-class variance halves the large
// one), and exactly separates two single-valued classes.
TEST(CanalThreshold, SplitsASmallClassFromALargeOne) {
    DistanceHistogram histogram{};
    for (int d = 0; d <= 30; ++d)  // 900 canal pixels, 5 to 25
        histogram[static_cast<std::size_t>(d)] =
            static_cast<std::uint32_t>(900 * std::exp(-(d - 15) * (d - 15) / 50.0) / 12.5);
    for (int d = 60; d <= 260; ++d)  // 30000 dentin pixels, 160 ± 30
        histogram[static_cast<std::size_t>(d)] =
            static_cast<std::uint32_t>(30000 * std::exp(-(d - 160) * (d - 160) / 1800.0) / 75.2);
    const int t = minimumErrorSplit(histogram);
    EXPECT_GT(t, 25);
    EXPECT_LT(t, 70);
    DistanceHistogram two{};
    two[3] = 40, two[90] = 4000;
    EXPECT_GE(minimumErrorSplit(two), 3);
    EXPECT_LT(minimumErrorSplit(two), 90);
}

// A dim section whose dentin lies within the fixed canal threshold of the darkest pixel: a
// canal is a space of the tooth, never its dentin, so the fixed threshold finds the one canal
// too (it used to take the dentin for a canal); the automatic one chooses a threshold below it.
TEST(GreySections, DimSectionWithTheAutomaticCanalThreshold) {
    const Section dim("section-dim");
    ToothAnalysis analysis;
    AnalysisSettings settings;
    settings.autoClassThreshold = true;
    for (const bool automatic : {false, true}) {
        settings.autoThreshold = automatic;
        const FrameResult& result = analyse(analysis, dim.picture, dim.classes(), settings);
        ASSERT_EQ(result.canals.size(), 1u) << automatic;
        expectFound(result.canals[0], dim.canals[0].truth, 0.25);
    }
    EXPECT_LT(analysis.result().canalThreshold, AnalysisSettings{}.threshold);
}

}  // namespace
}  // namespace quendra
