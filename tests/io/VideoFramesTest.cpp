#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestVideo.h"
#include "io/VideoFrames.h"

namespace quendra {
namespace {

using VideoFramesTest = TempFolder;

// One broken frame in the middle: it alone is missing, and every frame after it is the right
// one, read on in either access mode.
TEST_F(VideoFramesTest, ABrokenFrameIsSkippedAndTheRestKeepTheirNumbers) {
    const std::string video = path("gebrochen.avi");
    ASSERT_TRUE(writeIndexedVideo(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20));
    ASSERT_TRUE(breakVideoFrame(video, 9));
    for (const auto access : {VideoFrames::Access::Sequential, VideoFrames::Access::Random}) {
        VideoFrames frames(video, access);
        ASSERT_TRUE(frames.isValid());
        ASSERT_EQ(frames.frameCount(), 20);
        for (int i = 0; i < 20; ++i) {
            const cv::Mat& frame = frames.frameAt(i);
            if (i == 9)
                EXPECT_TRUE(frame.empty());
            else
                EXPECT_EQ(frameIndexOf(frame), i) << "frame " << i;
        }
        for (const int i : {4, 17, 2}) EXPECT_EQ(frameIndexOf(frames.frameAt(i)), i);
    }
}

TEST_F(VideoFramesTest, EveryThirdFrameReadOnWithoutSeeking) {
    const std::string video = path("lang.avi");
    ASSERT_TRUE(writeIndexedVideo(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20));
    VideoFrames frames(video, VideoFrames::Access::Sequential);
    for (int i = 0; i < 20; i += 3) EXPECT_EQ(frameIndexOf(frames.frameAt(i)), i);
    EXPECT_DOUBLE_EQ(frames.rate(), 25.0);
}

}  // namespace
}  // namespace quendra
