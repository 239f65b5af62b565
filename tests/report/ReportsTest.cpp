#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "SampleScene.h"
#include "analysis/ToothAnalysis.h"
#include "report/RecognitionData.h"
#include "report/ResultOverlay.h"

namespace quendra {
namespace {

TEST(RecognitionData, TheWorkedExampleByteForByte) {
    const ToothResult tooth{15234, 312, 240, -12.5f, 90, 70, ToothFront};
    const std::vector<CanalResult> canals{{152, 318, 236, 80, 8, 6}};
    std::ostringstream out;
    writeRecognitionData(out, tooth, canals);
    EXPECT_EQ(out.str(),
              "Zahn\n\nTyp: Frontzahn\nGroesse: 15234\nx: 312px, y: 240px\n"
              "Winkel der langen Hauptachse: -12.5\xB0\n\n\n"
              "Kanaele\n\nKanal 1\nGroesse: 152px\nx: 318px, y: 236px\n"
              "Winkel der langen Hauptachse: 80\xB0\n\n");
}

TEST(RecognitionData, NumbersCanalsAndUsesTheClassicLocale) {
    const ToothResult tooth{1234567, -1, 0, 0, 9, 9, ToothUpperMolar};
    const std::vector<CanalResult> canals(4, CanalResult{51, 1, 2, -0.0001f, 3, 2});
    std::ostringstream out;
    writeRecognitionData(out, tooth, canals);
    const std::string text = out.str();
    EXPECT_NE(text.find("Groesse: 1.23457e+06\n"), std::string::npos);
    EXPECT_NE(text.find("x: -1px"), std::string::npos);
    EXPECT_NE(text.find("Kanal 4\n"), std::string::npos);
    EXPECT_EQ(text.find("Kanal 5"), std::string::npos);
    EXPECT_NE(text.find("-0.0001\xB0"), std::string::npos);
}

TEST(RecognitionData, WithoutResultsTheFileIsEmptyAndUnwritableIsReported) {
    const std::string path =
        ::testing::TempDir() + "quendra-empty-" + std::to_string(::getpid()) + ".txt";
    std::ofstream(path) << "old";
    const FrameResult none;
    ASSERT_TRUE(saveRecognitionData(path, none));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_FALSE(saveRecognitionData(::testing::TempDir() + "no/such/folder.txt", none));
    std::filesystem::remove(path);
}

TEST(ResultOverlay, TextsAndNumbers) {
    EXPECT_STREQ(toothTypeText(ToothLowerMolar), "UK-Molar");
    EXPECT_STREQ(toothTypeText(ToothPremolar), "5er OK- oder UK-Praemolar oder 4er UK-Praemolar");
    EXPECT_STREQ(toothTypeText(17), "Zahn nicht erkannt.");
    EXPECT_EQ(formatFloat(152), "152");
    EXPECT_EQ(formatFloat(1000000), "1e+06");
}

class OverlayOnSample : public ::testing::Test {
protected:
    void SetUp() override {
        scene = sampleScenes().front();
        picture = renderScene(scene);
        classes = trainedClassifier({scene});
    }
    cv::Mat drawn() {
        cv::Mat out = picture.clone();
        drawResultOverlay(out, analysis.calculate(picture, classes));
        return out;
    }
    SampleScene scene;
    cv::Mat picture;
    ColorClassifier classes;
    ToothAnalysis analysis;
};

TEST_F(OverlayOnSample, DrawsTheAreaCanalsAndToothEllipses) {
    const cv::Mat out = drawn();
    ASSERT_TRUE(analysis.hasResults());
    const cv::Vec3b red(0, 0, 255), white(255, 255, 255);
    EXPECT_EQ(out.at<cv::Vec3b>(20, 300), red);  // top of the analysed area
    EXPECT_EQ(out.at<cv::Vec3b>(200, 20), red);  // its left side
    const ToothResult t = analysis.getToothResult();
    // The white tooth ellipse crosses the vertical through the centre (angle near 0) at about
    // the major semi-axis above the centre.
    int whiteOnColumn = 0;
    for (int y = 0; y < out.rows; ++y) whiteOnColumn += out.at<cv::Vec3b>(y, t.centerX) == white;
    EXPECT_GE(whiteOnColumn, 2);
    // The canal labels are green.
    EXPECT_GT(cv::countNonZero(cv::Mat(out == cv::Vec3b(0, 255, 0)).reshape(1)), 50);
}

TEST_F(OverlayOnSample, WithoutResultsOnlyTheRectangle) {
    analysis.setThreshold(0);
    const cv::Mat out = drawn();
    cv::Mat diff;
    cv::absdiff(out, picture, diff);
    cv::Mat changed;
    cv::cvtColor(diff, changed, cv::COLOR_BGR2GRAY);
    const int w = picture.cols, h = picture.rows;
    EXPECT_EQ(cv::countNonZero(changed), 2 * (w - 40 + 1) + 2 * (h - 40 - 1));
}

TEST_F(OverlayOnSample, AbsurdSettingsNeverThrow) {
    for (const int r : {-50, INT_MIN / 10, 10000}) {
        analysis.setEllipseRadius(r);
        for (const int border : {INT_MIN, -7, INT_MAX}) {
            analysis.setBorder(border);
            EXPECT_NO_THROW(drawn());
        }
    }
}

}  // namespace
}  // namespace quendra
