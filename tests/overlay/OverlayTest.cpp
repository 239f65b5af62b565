#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "PaintedTooth.h"
#include "SampleScene.h"
#include "analysis/ToothType.h"
#include "overlay/RecognitionData.h"
#include "overlay/ResultOverlay.h"

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

// Canals numbered, numbers in the classic locale; an angle that rounding left at -0 reads 0, as
// every angle of exactly 0 does.
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
    std::ostringstream zero;
    const std::vector<CanalResult> upright{{60, 5, 5, -0.0f, 3, 2}};
    writeRecognitionData(zero, {1000, 5, 5, -0.0f, 9, 9, ToothFront}, upright);
    EXPECT_EQ(zero.str().find("-0"), std::string::npos) << zero.str();
    EXPECT_NE(zero.str().find("Hauptachse: 0\xB0\n\n\nKanaele"), std::string::npos);
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

// Orientation of a set of pixels from OpenCV's moments: degrees of its long axis from +x
// toward +y.
double principalAxis(const cv::Mat& mask) {
    const cv::Moments m = cv::moments(mask, true);
    return 0.5 * std::atan2(2 * m.mu11, m.mu20 - m.mu02) * 180 / CV_PI;
}

double axisDifference(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 180.0);
    return std::min(d, 180 - d);
}

// An enamel ellipse tilted by `angle` on gum, with dark round canals.
struct TiltedTooth : PaintedTooth {
    explicit TiltedTooth(double angle) : PaintedTooth({500, 500}) {
        cv::ellipse(frame, {250, 250}, {60, 150}, angle, 0, 360, kEnamel, cv::FILLED);
    }
    void canal(cv::Point2d centre) {
        cv::circle(frame, cv::Point(cvRound(centre.x), cvRound(centre.y)), 5, cv::Scalar::all(10),
                   cv::FILLED);
    }
    cv::Mat overlay(const FrameResult& result) const {
        cv::Mat drawn(frame.size(), CV_8UC3, cv::Scalar::all(0));
        drawResultOverlay(drawn, result);
        return drawn;
    }
};

// The white tooth ellipse lies along the region it measures, at every tilt: by OpenCV's
// moments of the drawn outline against those of the painted region. (Drawn with the negated
// angle, as it used to be, a tooth at 35 degrees got an outline at -35.)
TEST(ResultOverlay, ToothEllipseLiesAlongTheTooth) {
    for (const double angle : {-60.0, -20.0, 0.0, 35.0, 80.0}) {
        SCOPED_TRACE(angle);
        TiltedTooth tooth(angle);
        tooth.canal({250, 250});
        const FrameResult& result = tooth.analyse();
        ASSERT_TRUE(result.hasResults);
        cv::Mat white, region;
        cv::inRange(tooth.overlay(result), cv::Scalar::all(255), cv::Scalar::all(255), white);
        int baseline = 0;  // the white type text starts at the centre: left out
        const cv::Size text = cv::getTextSize(toothTypeText(result.tooth.toothType),
                                              cv::FONT_HERSHEY_PLAIN, 0.8, 1, &baseline);
        white(cv::Rect(250, 250 - text.height - 1, text.width + 1, text.height + baseline + 2))
            .setTo(0);
        cv::inRange(tooth.frame, PaintedTooth::kEnamel, PaintedTooth::kEnamel, region);
        EXPECT_LT(axisDifference(principalAxis(white), principalAxis(region)), 2.0);
    }
}

// The green ellipse shows what is accepted: on a tilted tooth a canal just inside it along the
// short axis is accepted, one just outside is not (a canal at the centre keeps the ellipses
// drawn). Read off the picture: the first green pixel on the way from the tooth's centre to
// the canal lies beyond the canal exactly when it is accepted.
TEST(ResultOverlay, AcceptanceEllipseShowsWhatIsAccepted) {
    const double angle = 35;
    const cv::Point2d across(std::cos(angle * CV_PI / 180), std::sin(angle * CV_PI / 180));
    for (const double distance : {40.0, 56.0}) {  // the green semi-axis is 0.8 * 60 = 48
        SCOPED_TRACE(distance);
        TiltedTooth tooth(angle);
        tooth.canal({250, 250});
        const cv::Point2d centre = cv::Point2d(250, 250) + distance * across;
        tooth.canal(centre);
        const FrameResult& result = tooth.analyse();
        ASSERT_TRUE(result.hasResults);
        const bool accepted = result.canals.size() == 2;
        EXPECT_EQ(accepted, distance < 48);
        cv::Mat green;
        cv::inRange(tooth.overlay(result), cv::Scalar(0, 255, 0), cv::Scalar(0, 255, 0), green);
        cv::dilate(green, green, cv::Mat());  // a 1-pixel line cannot slip between two samples
        const cv::Point2d toothCentre(result.tooth.centerX, result.tooth.centerY);
        double firstGreen = 0;
        for (double t = 1; t < 200 && firstGreen == 0; t += 0.25) {
            const cv::Point2d p = toothCentre + t * across;
            if (green.at<uchar>(cvRound(p.y), cvRound(p.x))) firstGreen = t + 1;
        }
        EXPECT_EQ(firstGreen > cv::norm(centre - toothCentre), accepted)
            << "the green ellipse crosses at " << firstGreen;
    }
}

// Neighbouring roots of one section: the labels of their canals ran into each other
// ("GroessGroesse 149px"). Each label is drawn whole: the green of the overlay is that of the
// labels drawn one by one.
TEST(ResultOverlay, LabelsOfNeighbouringRootsDoNotOverlap) {
    FrameResult result;
    result.toothFound = result.hasResults = true;
    result.settings.filter = 0;  // the acceptance ellipses shrink to dots at the teeth's centres
    const auto root = [](int x) {
        return ToothFinding{ToothResult{5000, x, 200, 0, 0, 0, ToothUnknown},
                            {CanalResult{149, x + 60, 100, 0, 3, 3}},
                            70};
    };
    // From the right: no canal drawn later lies where an earlier label is moved to.
    static_cast<ToothFinding&>(result) = root(80);
    result.furtherTeeth = {root(50), root(20)};
    const auto green = [](const FrameResult& r) {
        cv::Mat drawn(300, 400, CV_8UC3, cv::Scalar::all(0)), mask;
        drawResultOverlay(drawn, r);
        cv::inRange(drawn, cv::Scalar(0, 255, 0), cv::Scalar(0, 255, 0), mask);
        return cv::countNonZero(mask);
    };
    FrameResult alone = result;
    alone.furtherTeeth.clear();
    EXPECT_EQ(green(result), 3 * green(alone));
}

}  // namespace
}  // namespace quendra
