#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "TestVideo.h"
#include "io/VideoFrames.h"

namespace quendra {
namespace {

using VideoFramesTest = TempFolder;

// One broken frame in the middle: it alone is missing, and every frame after it is the right
// one, read on in either access mode, forwards, skipping ahead and back.
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
        EXPECT_DOUBLE_EQ(frames.rate(), 25.0);
    }
}

// What the window and the batch analyser are given is the one file they open: a name with
// '%' is no numbered sequence of other files, and a stream too large for the picture limit is
// refused before a frame is decoded.
TEST_F(VideoFramesTest, AFileIsOpenedByItsOwnNameOnly) {
    for (const char* other : {"t00.mp4", "t01.mp4", "t02.mp4"})
        std::filesystem::copy_file(QUENDRA_SAMPLE_DIR "/front-640x480.png", path(other));
    writeBytes("t%02d.mp4", "no video");
    const VideoFrames pattern(path("t%02d.mp4"));
    EXPECT_FALSE(pattern.isValid());
    EXPECT_EQ(pattern.status(), PictureStatus::Unreadable);

    const std::string large = path("gross.avi");
    ASSERT_TRUE(writeIndexedVideo(large, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 2));
    ASSERT_TRUE(claimFrameSize(large, 11000, 11000));
    const VideoFrames tooLarge(large);
    EXPECT_EQ(tooLarge.status(), PictureStatus::TooLarge);
    EXPECT_EQ(tooLarge.frameSize(), cv::Size(11000, 11000));
}

}  // namespace
}  // namespace quendra
