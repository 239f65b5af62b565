// Draws the tool bar icons and the program icon (8-bit RGBA PNG) into the folder given as the
// only argument. The committed icons in resources/ were made with it; run it again after
// changing the artwork.

#include <filesystem>
#include <functional>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "ToolArguments.h"

namespace {

using Draw = std::function<void(cv::Mat&)>;

const cv::Scalar kInk(60, 50, 40, 255);
const cv::Scalar kBlue(200, 120, 40, 255);
const cv::Scalar kEnamel(215, 235, 245, 255);
const cv::Scalar kGum(110, 90, 190, 255);
const cv::Scalar kRed(40, 40, 210, 255);
const cv::Scalar kGreen(60, 170, 60, 255);

void save(const std::filesystem::path& folder, const std::string& name, cv::Size size,
          const Draw& draw) {
    cv::Mat icon(size, CV_8UC4, cv::Scalar(0, 0, 0, 0));
    draw(icon);
    if (!cv::imwrite((folder / name).string(), icon))
        throw std::runtime_error("cannot write " + name);
}

void tooth(cv::Mat& m, cv::Point c, int r) {
    cv::ellipse(m, c, {r, r * 6 / 5}, 0, 0, 360, kEnamel, cv::FILLED, cv::LINE_AA);
    cv::ellipse(m, c, {r, r * 6 / 5}, 0, 0, 360, kInk, 4, cv::LINE_AA);
}

void arrow(cv::Mat& m, cv::Point from, cv::Point to, const cv::Scalar& colour) {
    cv::arrowedLine(m, from, to, colour, 10, cv::LINE_AA, 0, 0.4);
}

}  // namespace

int main(int argc, char** argv) {
    int exitStatus = 0;
    if (!quendra::toolArguments(argc, argv, 1, 1, "quendra-make-icons OUTPUT_FOLDER", exitStatus))
        return exitStatus;
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    const cv::Size size(128, 128);
    save(out, "camicon.png", size, [](cv::Mat& m) {
        cv::rectangle(m, {14, 38}, {114, 104}, kInk, cv::FILLED, cv::LINE_AA);
        cv::rectangle(m, {40, 26}, {72, 40}, kInk, cv::FILLED, cv::LINE_AA);
        cv::circle(m, {64, 71}, 26, kBlue, cv::FILLED, cv::LINE_AA);
        cv::circle(m, {64, 71}, 12, kInk, cv::FILLED, cv::LINE_AA);
    });
    save(out, "videoicon.png", size, [](cv::Mat& m) {
        cv::rectangle(m, {12, 24}, {116, 104}, kInk, cv::FILLED, cv::LINE_AA);
        for (int x = 20; x < 110; x += 18) {
            cv::rectangle(m, {x, 30}, {x + 8, 38}, kEnamel, cv::FILLED);
            cv::rectangle(m, {x, 90}, {x + 8, 98}, kEnamel, cv::FILLED);
        }
        const std::vector<cv::Point> play{{52, 48}, {52, 80}, {80, 64}};
        cv::fillConvexPoly(m, play, kBlue, cv::LINE_AA);
    });
    save(out, "bildicon.png", size, [](cv::Mat& m) {
        cv::rectangle(m, {12, 20}, {116, 108}, kGum, cv::FILLED, cv::LINE_AA);
        cv::rectangle(m, {12, 20}, {116, 108}, kInk, 5, cv::LINE_AA);
        tooth(m, {64, 64}, 26);
    });
    save(out, "selecticon.png", size, [](cv::Mat& m) {
        tooth(m, {58, 62}, 34);
        for (int x = 30; x < 100; x += 16) cv::line(m, {x, 40}, {x + 8, 40}, kRed, 5);
        for (int x = 30; x < 100; x += 16) cv::line(m, {x, 90}, {x + 8, 90}, kRed, 5);
        for (int y = 40; y < 90; y += 16) cv::line(m, {30, y}, {30, y + 8}, kRed, 5);
        for (int y = 40; y < 90; y += 16) cv::line(m, {98, y}, {98, y + 8}, kRed, 5);
    });
    save(out, "loadluticon.png", size, [](cv::Mat& m) {
        cv::rectangle(m, {16, 70}, {112, 112}, kInk, cv::FILLED, cv::LINE_AA);
        arrow(m, {64, 10}, {64, 80}, kGreen);
    });
    save(out, "saveluticon.png", size, [](cv::Mat& m) {
        cv::rectangle(m, {18, 18}, {110, 110}, kBlue, cv::FILLED, cv::LINE_AA);
        cv::rectangle(m, {36, 18}, {92, 50}, kEnamel, cv::FILLED);
        cv::rectangle(m, {32, 68}, {96, 110}, kInk, cv::FILLED);
    });
    save(out, "resetluticon.png", size, [](cv::Mat& m) {
        cv::ellipse(m, {64, 66}, {40, 40}, 0, 40, 330, kRed, 10, cv::LINE_AA);
        const std::vector<cv::Point> head{{98, 14}, {108, 52}, {72, 44}};
        cv::fillConvexPoly(m, head, kRed, cv::LINE_AA);
    });
    // The program's own icon, for the desktop's menus (installed under its application id).
    save(out, "org.quendra.Quendra.png", size, [](cv::Mat& m) {
        cv::rectangle(m, {8, 8}, {120, 120}, kGum, cv::FILLED, cv::LINE_AA);
        tooth(m, {64, 64}, 40);
        for (const cv::Point canal : {cv::Point(50, 46), cv::Point(82, 60), cv::Point(54, 84)})
            cv::circle(m, canal, 8, kInk, cv::FILLED, cv::LINE_AA);
    });
    save(out, "exiticon.png", cv::Size(131, 134), [](cv::Mat& m) {
        cv::rectangle(m, {20, 12}, {84, 122}, kInk, cv::FILLED, cv::LINE_AA);
        cv::rectangle(m, {30, 22}, {74, 112}, kEnamel, cv::FILLED, cv::LINE_AA);
        arrow(m, {54, 67}, {124, 67}, kRed);
    });
    return 0;
}
