#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "TempFolder.h"
#include "TestVideo.h"
#include "io/MjpegMovie.h"

namespace quendra {
namespace {

using MjpegMovie = TempFolder;

// What the writer makes, OpenCV reads back: every frame in order, its size and its rate.
TEST_F(MjpegMovie, OpenCvReadsEveryFrameBack) {
    const cv::Size size(161, 97);  // odd sizes on purpose
    MjpegMovieWriter movie;
    ASSERT_TRUE(movie.open(path("film.mov"), size, 25.0 / 3));
    for (int i = 0; i < 14; ++i) {
        std::vector<uchar> jpeg;
        ASSERT_TRUE(
            cv::imencode(".jpg", cv::Mat(size, CV_8UC3, cv::Scalar::all(20 + 10 * i)), jpeg));
        ASSERT_TRUE(movie.addFrame(jpeg));
    }
    ASSERT_TRUE(movie.close());

    cv::VideoCapture capture(path("film.mov"));
    ASSERT_TRUE(capture.isOpened());
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_COUNT), 14);
    EXPECT_NEAR(capture.get(cv::CAP_PROP_FPS), 25.0 / 3, 0.01);
    cv::Mat frame;
    for (int i = 0; i < 14; ++i) {
        ASSERT_TRUE(capture.read(frame)) << i;
        EXPECT_EQ(frame.size(), size);
        EXPECT_EQ(frameIndexOf(frame), i);
    }
    EXPECT_FALSE(capture.read(frame));
}

// Rates are kept as the fractions they were computed from, not rounded to a thousandth of a
// frame (8333/1000 for 25/3 would drift by a frame in 8 minutes), down to less than a frame a
// second (a long video analysed at a large step).
TEST_F(MjpegMovie, RatesKeepTheirExactFraction) {
    for (const double rate :
         {25.0 / 3, 30000.0 / 1001, 24000.0 / 1001 / 7, 0.5, 1000.0, 25.0 / 100000}) {
        SCOPED_TRACE(rate);
        MjpegMovieWriter movie;
        ASSERT_TRUE(movie.open(path("takt.mov"), {16, 16}, rate));
        std::vector<uchar> jpeg;
        ASSERT_TRUE(cv::imencode(".jpg", cv::Mat(16, 16, CV_8UC3, cv::Scalar::all(90)), jpeg));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(movie.addFrame(jpeg));
        ASSERT_TRUE(movie.close());
        cv::VideoCapture capture(path("takt.mov"), cv::CAP_FFMPEG);
        ASSERT_TRUE(capture.isOpened());
        EXPECT_DOUBLE_EQ(capture.get(cv::CAP_PROP_FPS), rate);
        EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_COUNT), 3);
    }
}

TEST_F(MjpegMovie, UnwritableFileIsRefused) {
    MjpegMovieWriter movie;
    EXPECT_FALSE(movie.open(path("no/such/folder.mov"), {8, 8}, 25));
    EXPECT_FALSE(movie.addFrame({}));
    EXPECT_FALSE(movie.close());
}

}  // namespace
}  // namespace quendra
