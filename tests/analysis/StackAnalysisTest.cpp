#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "StackScene.h"
#include "TempFolder.h"
#include "analysis/CanalTracking.h"
#include "analysis/SectionLabels.h"
#include "analysis/ToothAnalysis.h"
#include "colour/ColorTraining.h"
#include "io/StackFrames.h"

namespace quendra {

void PrintTo(const StackScene& scene, std::ostream* os) {
    *os << scene.name();
}

namespace {

// The Vertucci type the scenes name a configuration by; empty for others.
std::string typeOf(const std::string& configuration) {
    for (const auto& [type, c] : vertucciConfigurations())
        if (c == configuration) return type;
    return "";
}

// Expects `root` to be a root of `configuration` through the whole stack: every rise of the
// configuration a division, every fall a junction.
void expectRoot(const RootConfiguration& root, const std::string& configuration, int slices) {
    EXPECT_EQ(root.configuration, configuration);
    EXPECT_EQ(root.vertucci, typeOf(configuration));
    int divisions = 0, junctions = 0;
    for (std::size_t i = 2; i < configuration.size(); i += 2) {
        divisions += configuration[i] > configuration[i - 2];
        junctions += configuration[i] < configuration[i - 2];
    }
    EXPECT_EQ(root.divisions, divisions);
    EXPECT_EQ(root.junctions, junctions);
    EXPECT_EQ(root.firstSlice, 1);
    EXPECT_EQ(root.lastSlice, slices);
}

// The stack written as a TIFF at `tiff`, read back slice by slice, mapped by the stack's window,
// every slice analysed with classes trained on its first by two rectangles (each root a tooth
// with `teeth`, checked against the canals the scene draws per root), and the canals followed.
std::vector<RootConfiguration> analyseStack(const StackScene& scene, const std::string& tiff,
                                            TeethChoice teeth) {
    EXPECT_TRUE(writeStackTiff(scene, tiff));
    StackFrames stack(tiff);
    EXPECT_EQ(stack.frameCount(), scene.slices);
    const ColorClassifier classes = stackClassifier(scene, stack.frameAt(0).frame);
    AnalysisSettings settings;
    settings.classThreshold = stackClassThreshold(scene);
    settings.teeth = teeth;
    ToothAnalysis analysis;
    analysis.setSettings(settings);
    CanalTracker tracker;
    const std::size_t roots = scene.rootConfigurations().size();
    for (int i = 0; i < stack.frameCount(); ++i) {
        const SliceFrame slice = stack.frameAt(i);
        EXPECT_EQ(slice.status, PictureStatus::Ok) << i;
        const auto found = analysis.calculate(slice.frame, classes).teeth();
        EXPECT_EQ(found.size(), roots) << "slice " << i + 1;
        for (std::size_t r = 0; r < std::min(roots, found.size()); ++r)
            EXPECT_EQ(found[r]->canals.size(),
                      static_cast<std::size_t>(canalsInSlice(scene, i, static_cast<int>(r))))
                << "slice " << i + 1 << ", root " << r + 1;
        tracker.addSlice(sectionOfAnalysis(analysis));
    }
    return tracker.roots(scene.apexFirst);
}

// Slice `index` as the analysis sees it: 16-bit slices through the stack's sampled window.
cv::Mat renderedFrame(const StackScene& scene, int index) {
    cv::Mat slice = renderStackSlice(scene, index), frame;
    if (scene.depth == 16) slice.convertTo(slice, CV_8U, 1 / 180.0, -2000 / 180.0);
    if (slice.channels() == 1)
        cv::cvtColor(slice, frame, cv::COLOR_GRAY2BGR);
    else
        frame = slice;
    return frame;
}

std::string testName(const ::testing::TestParamInfo<StackScene>& stack) {
    std::string name = stack.param.name();
    std::replace(name.begin(), name.end(), '-', '_');
    std::replace(name.begin(), name.end(), '+', '_');
    return name;
}

// Each root of the section a tooth region (a stack of one root with the largest alone):
// each root followed on its own and named, left to right as the roots lie.
class GeneratedStack : public TempFolder, public ::testing::WithParamInterface<StackScene> {};

TEST_P(GeneratedStack, EachRootIsNamedRightInOrder) {
    const StackScene& scene = GetParam();
    const std::vector<std::string> configurations = scene.rootConfigurations();
    const auto roots =
        analyseStack(scene, path("stack.tif"),
                     configurations.size() > 1 ? TeethChoice::All : TeethChoice::Largest);
    ASSERT_EQ(roots.size(), configurations.size());
    for (std::size_t r = 0; r < roots.size(); ++r) {
        SCOPED_TRACE("root " + std::to_string(r + 1));
        EXPECT_EQ(roots[r].root, static_cast<int>(r) + 1);
        expectRoot(roots[r], configurations[r], scene.slices);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, GeneratedStack, ::testing::ValuesIn(stackScenes()), testName);
INSTANTIATE_TEST_SUITE_P(SideBySide, GeneratedStack, ::testing::ValuesIn(multiRootStackScenes()),
                         testName);

// The settings a researcher gives grey micro-CT stacks: both thresholds automatic, every root,
// small canals; the border and tooth minimum of a stack (none, and every region of 25 px).
AnalysisSettings microCtSettings() {
    AnalysisSettings settings;
    settings.autoThreshold = true;
    settings.autoClassThreshold = true;
    settings.teeth = TeethChoice::All;
    settings.minCanalArea = 3;
    settings.border = 0;
    settings.minToothArea = 25;
    return settings;
}

// Each root's type, the stack analysed slice by slice with `settings`, with classes trained
// by an operator's rectangles on `training`'s slice.
std::vector<std::string> typesOf(const StackScene& scene, const AnalysisSettings& settings) {
    ColorTraining training;
    cv::Mat first;
    renderedFrame(scene, 0).copyTo(first);
    pickStackColors(scene, first, training);
    const ColorClassifier classes = classifierOf(training.samples());
    ToothAnalysis analysis;
    analysis.setSettings(settings);
    CanalTracker tracker;
    for (int i = 0; i < scene.slices; ++i) {
        analysis.calculate(renderedFrame(scene, i), classes);
        tracker.addSlice(sectionOfAnalysis(analysis));
    }
    std::vector<std::string> types;
    for (const RootConfiguration& root : tracker.roots(scene.apexFirst))
        types.push_back(root.vertucci);
    return types;
}

// Stacks harder than the plain ones, as real ones are (StackScene.h): noise, blur, thin
// canals, a drifting root, a short lateral canal, two canals touching, a dark ring round the
// root, a second root close beside. Each root is typed right.
class HardStack : public ::testing::TestWithParam<StackScene> {};

TEST_P(HardStack, IsTypedRight) {
    const StackScene& scene = GetParam();
    std::vector<std::string> types;
    for (const std::string& root : scene.rootConfigurations()) types.push_back(typeOf(root));
    EXPECT_EQ(typesOf(scene, microCtSettings()), types);
}

INSTANTIATE_TEST_SUITE_P(Conditions, HardStack, ::testing::ValuesIn(hardStackScenes(3)), testName);

// A slice of two roots, "2" left and "1" right, analysed with every tooth region a root: the
// section's roots are the tooth mask's components (OpenCV's labelling, 4-connected as the
// analysis') with their canals, numbered left to right; its canals carry the area and centre
// the analysis measured, each in the root whose cell holds it.
TEST(SectionOfAnalysis, EveryToothARootWithItsCanals) {
    const StackScene scene{.configuration = "2", .furtherRoots = {"1"}};
    const cv::Mat frame = renderStackSlice(scene, scene.slices / 2);
    ASSERT_EQ(canalsInSlice(scene, scene.slices / 2, 0), 2);
    ASSERT_EQ(canalsInSlice(scene, scene.slices / 2, 1), 1);
    AnalysisSettings settings;
    settings.classThreshold = stackClassThreshold(scene);
    settings.teeth = TeethChoice::All;
    ToothAnalysis analysis;
    analysis.setSettings(settings);
    const FrameResult& result = analysis.calculate(frame, stackClassifier(scene, frame));
    const SliceSection section = sectionOfAnalysis(analysis);
    ASSERT_EQ(section.roots.size(), frame.size());
    ASSERT_EQ(section.canals.size(), frame.size());

    // The canals: labels 1..N, measured as the analysis measured them, root by root.
    std::vector<const CanalResult*> canals;
    std::vector<int> rootOfCanal;
    for (std::size_t t = 0; t < result.teeth().size(); ++t)
        for (const CanalResult& c : result.teeth()[t]->canals) {
            canals.push_back(&c);
            rootOfCanal.push_back(static_cast<int>(t) + 1);
        }
    ASSERT_EQ(canals.size(), 3u);
    ASSERT_EQ(section.canalRoot, rootOfCanal);
    double canalsMax = 0;
    cv::minMaxLoc(section.canals, nullptr, &canalsMax);
    EXPECT_EQ(canalsMax, 3);
    for (std::size_t c = 0; c < canals.size(); ++c) {
        SCOPED_TRACE("canal " + std::to_string(c + 1));
        const cv::Mat mask = section.canals == static_cast<int>(c) + 1;
        const cv::Moments m = cv::moments(mask, true);
        ASSERT_GT(m.m00, 0);
        EXPECT_EQ(m.m00, canals[c]->area);
        EXPECT_NEAR(m.m10 / m.m00, canals[c]->meanX, 1e-6);
        EXPECT_NEAR(m.m01 / m.m00, canals[c]->meanY, 1e-6);
        EXPECT_EQ(static_cast<int>(m.m10 / m.m00) / scene.size.width + 1, section.canalRoot[c]);
    }

    // The roots: the tooth mask's large components (its tooth pixels are 0), left to right,
    // each with its canals.
    cv::Mat components, stats, centroids;
    const int count = cv::connectedComponentsWithStats(analysis.toothMask() == 0, components, stats,
                                                       centroids, 4);
    std::vector<int> teeth;
    for (int i = 1; i < count; ++i)
        if (stats.at<int>(i, cv::CC_STAT_AREA) >= settings.minToothArea) teeth.push_back(i);
    std::sort(teeth.begin(), teeth.end(), [&](int a, int b) {
        return centroids.at<double>(a, 0) < centroids.at<double>(b, 0);
    });
    ASSERT_EQ(teeth.size(), 2u);
    cv::Mat expected = cv::Mat::zeros(frame.size(), CV_16UC1);
    for (std::size_t r = 0; r < teeth.size(); ++r) {
        EXPECT_EQ(static_cast<int>(centroids.at<double>(teeth[r], 0)) / scene.size.width,
                  static_cast<int>(r));
        expected.setTo(static_cast<int>(r) + 1, components == teeth[r]);
    }
    for (std::size_t c = 0; c < canals.size(); ++c)
        expected.setTo(section.canalRoot[c], section.canals == static_cast<int>(c) + 1);
    ASSERT_EQ(section.roots.type(), CV_16UC1);
    EXPECT_EQ(cv::countNonZero(section.roots != expected), 0);
}

}  // namespace
}  // namespace quendra
