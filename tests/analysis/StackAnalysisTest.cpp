#include <gtest/gtest.h>

#include "StackScene.h"
#include "TempFolder.h"
#include "analysis/CanalTracking.h"
#include "analysis/SectionLabels.h"
#include "analysis/ToothAnalysis.h"
#include "io/StackFrames.h"

namespace quendra {

void PrintTo(const StackScene& scene, std::ostream* os) {
    *os << scene.name();
}

namespace {

class GeneratedStack : public TempFolder, public ::testing::WithParamInterface<StackScene> {};

// Each stack written as a TIFF, read back slice by slice, mapped by the stack's window, every
// slice analysed with classes trained on its first by two rectangles, and the canals followed.
TEST_P(GeneratedStack, IsNamedRight) {
    const StackScene& scene = GetParam();
    ASSERT_TRUE(writeStackTiff(scene, path("stack.tif")));
    StackFrames stack(path("stack.tif"));
    ASSERT_EQ(stack.frameCount(), scene.slices);
    const ColorClassifier classes = stackClassifier(scene, stack.frameAt(0).frame);
    ToothAnalysis analysis;
    CanalTracker tracker;
    for (int i = 0; i < stack.frameCount(); ++i) {
        const SliceFrame slice = stack.frameAt(i);
        ASSERT_EQ(slice.status, PictureStatus::Ok) << i;
        analysis.calculate(slice.frame, classes);
        EXPECT_TRUE(analysis.result().toothFound) << "slice " << i + 1;
        EXPECT_EQ(analysis.getCanals().size(), static_cast<std::size_t>(canalsInSlice(scene, i)))
            << "slice " << i + 1;
        tracker.addSlice(sectionOfAnalysis(analysis));
    }
    const auto roots = tracker.roots(scene.apexFirst);
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].configuration, scene.configuration);
    EXPECT_EQ(roots[0].vertucci, scene.name().substr(0, scene.name().find('-')));
    // Every rise of the configuration a division, every fall a junction.
    int divisions = 0, junctions = 0;
    for (std::size_t i = 2; i < scene.configuration.size(); i += 2) {
        divisions += scene.configuration[i] > scene.configuration[i - 2];
        junctions += scene.configuration[i] < scene.configuration[i - 2];
    }
    EXPECT_EQ(roots[0].divisions, divisions);
    EXPECT_EQ(roots[0].junctions, junctions);
    EXPECT_EQ(roots[0].firstSlice, 1);
    EXPECT_EQ(roots[0].lastSlice, scene.slices);
}

INSTANTIATE_TEST_SUITE_P(Types, GeneratedStack, ::testing::ValuesIn(stackScenes()),
                         [](const auto& stack) {
                             std::string name = stack.param.name();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace quendra
