// The window playing a 25 frames-per-second video (1920x1080, then 3840x2160) with the
// analysis on, for ten seconds, as an operator watches it: how many of the video's frames reach
// the screen, how the video's time keeps to the real time (frames the chain cannot keep up with
// are skipped), and the CPU time each shown frame costs. Beside it, in the same run,
// BM_VideoStepAnalysed: reading and analysing one frame of the same video, the part of the work
// that is not the display's.
//
// BM_LiveCamera: the window on a live camera (GStreamer's test source, 1920x1080 at 30 frames a
// second, its frames numbered by where their bars stand) with the analysis on, for ten
// seconds: the frames shown per tick of 25 Hz, and how many frames the one on screen is behind
// the newest the source has made by then (from the source's own time), on average.
//
// Run under a display with OpenGL, e.g.:
//   xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/quendra-window-bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <opencv2/videoio.hpp>

#include "LiveTestSource.h"
#include "SampleFixture.h"
#include "app/CameraCommands.h"
#include "app/QuendraRC1.h"
#include "app/Translation.h"
#include "app/WindowSettings.h"
#include "model/CalculationModel.h"
#include "panels/VideoController.h"
#include "sources/CameraModel.h"
#include "sources/VideoModel.h"
#include "view/FrameView.h"

namespace {

constexpr int kFrames = 250;  // ten seconds
constexpr double kRate = 25;

// The videos played: Motion JPEG, every frame a picture of its own, and MPEG-4, cheaper to
// decode (the display's share weighs more beside it).
struct Case {
    cv::Size size;
    const char* codec;      // fourcc
    const char* extension;  // the container
};
const Case kCases[] = {
    {{1920, 1080}, "MJPG", ".avi"}, {{1920, 1080}, "mp4v", ".mp4"}, {{3840, 2160}, "MJPG", ".avi"}};

// Written once, kept between runs.
std::string sampleVideo(const Case& c) {
    const auto file =
        std::filesystem::temp_directory_path() /
        ("quendra-window-bench-" + std::to_string(c.size.width) + "-" + c.codec + c.extension);
    const int fourcc = cv::VideoWriter::fourcc(c.codec[0], c.codec[1], c.codec[2], c.codec[3]);
    quendra::writeSampleVideo(file, fourcc, c.size, kFrames);
    return file.string();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Playback {
    int shown = 0;    // frames that reached the screen
    int moved = 0;    // frames the video moved on, skipped ones included
    int skipped = 0;  // moved on over without being read
    double seconds = 0, cpu = 0;
};

// Plays the video in the real window for ten seconds and counts the frames that reached the
// screen: each swap of the view's buffers that shows another frame than the one before.
Playback play(const std::string& video, const std::string& classes) {
    QuendraRC1 window;
    window.show();
    window.openVideoFile(QString::fromStdString(video));
    window.loadClassesFile(QString::fromStdString(classes));
    wait(500);  // shown, first frame analysed, class cache warm
    Playback result;
    QSlider* slider = window.videoPanel()->slider();
    int last = slider->value();
    const auto moveOn = [&] {
        result.moved += (slider->value() - last + kFrames) % kFrames;
        last = slider->value();
    };
    // The frame on the screen is the one at the video's position: the view paints it before
    // the position is announced to the slider.
    int onScreen = window.video()->getPosition();
    QObject::connect(window.view(), &QOpenGLWindow::frameSwapped, [&] {
        if (window.video()->getPosition() != onScreen) ++result.shown;
        onScreen = window.video()->getPosition();
        moveOn();
    });
    int processed = 0;  // frames read, analysed and handed to the view
    QObject::connect(window.model(), &CalculationModel::frameProcessed, [&] { ++processed; });
    QAbstractButton* play = nullptr;
    for (QAbstractButton* b : window.videoPanel()->findChildren<QAbstractButton*>())
        if (b->text() == QStringLiteral(">/||")) play = b;
    QElapsedTimer clock;
    const double cpu = cpuSeconds();
    clock.start();
    play->click();
    wait(static_cast<int>(kFrames / kRate * 1000));
    play->click();
    moveOn();
    result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    result.cpu = cpuSeconds() - cpu;
    result.skipped = std::max(0, result.moved - processed);
    return result;
}

std::string caseName(const char* what, const Case& c) {
    return std::string(what) + "/" + std::to_string(c.size.width) + "/" +
           std::to_string(c.size.height) + "/" + c.codec;
}

// One playback of ten seconds, reported as one iteration: its time the wall time, its
// counters the share of the video's frames shown, the video's time against the real time, the
// frames skipped and the processor time per shown frame.
void windowPlayback(benchmark::State& state, const Case& c) {
    const std::string video = sampleVideo(c);
    for (auto _ : state) {
        const Playback p = play(video, quendra::sampleClassFile());
        state.SetIterationTime(p.seconds);
        state.counters["shown"] = p.shown / (p.seconds * kRate);
        state.counters["video_time"] = p.moved / (p.seconds * kRate);
        state.counters["skipped"] = p.skipped;
        state.counters["cpu_ms_per_shown"] = 1000 * p.cpu / std::max(p.shown, 1);
    }
}

// The numbers of the live source's frames, unwrapped, and the source's time they stand for.
class LiveClock {
public:
    // The frame's number counted on from the first one seen.
    std::int64_t number(const cv::Mat& frame) {
        const int n = quendra::liveFrameNumber(frame);
        if (first < 0) first = last = n;
        total += quendra::liveFramesBetween(last, n, quendra::liveFramePeriod(frame));
        last = n;
        return total;
    }
    // Notes a frame that arrived at `ms`: the least of arrival less frame time is the source's
    // start as seen here.
    void arrived(std::int64_t number, double ms) {
        start = std::min(start, ms - static_cast<double>(number) * 1000 / kLiveRate);
    }
    // The frames the source has made by `ms`, less one: the newest.
    double newest(double ms) const { return (ms - start) * kLiveRate / 1000; }

    static constexpr double kLiveRate = 30;

private:
    int first = -1, last = -1;
    std::int64_t total = 0;
    double start = 1e300;
};

// Ten seconds of the window on the live source, reported as one iteration.
void liveCamera(benchmark::State& state) {
    for (auto _ : state) {
        QuendraRC1 window;
        window.show();
        CameraSettings live;
        live.device = quendra::liveTestPipeline({1920, 1080}, 30);
        if (!window.camera()->openWith(live)) {
            state.SkipWithError("the live test source did not open (gstreamer1.0-plugins-base?)");
            return;
        }
        window.loadClassesFile(QString::fromStdString(quendra::sampleClassFile()));
        wait(500);
        QElapsedTimer clock;
        LiveClock source;
        int shown = 0;
        double lag = 0;
        std::int64_t lastShown = -1;
        QObject::connect(window.model(), &CalculationModel::frameProcessed, [&] {
            source.arrived(source.number(window.model()->getImage()),
                           static_cast<double>(clock.nsecsElapsed()) / 1e6);
        });
        // The frame on the screen is the model's: the view paints a frame before the model
        // tells that it processed it.
        std::vector<std::pair<double, std::int64_t>> swaps;  // when, which frame
        QObject::connect(window.view(), &QOpenGLWindow::frameSwapped, [&] {
            const std::int64_t onScreen = source.number(window.model()->getImage());
            if (onScreen == lastShown) return;
            lastShown = onScreen;
            swaps.emplace_back(static_cast<double>(clock.nsecsElapsed()) / 1e6, onScreen);
        });
        clock.start();
        wait(static_cast<int>(kFrames / kRate * 1000));
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        for (const auto& [ms, number] : swaps)
            lag += std::floor(source.newest(ms)) - static_cast<double>(number);
        shown = static_cast<int>(swaps.size());
        state.SetIterationTime(seconds);
        state.counters["shown"] = shown / (seconds * kRate);
        state.counters["lag_frames"] = lag / std::max(shown, 1);
        state.counters["missed"] = static_cast<double>(window.camera()->camera()->framesMissed());
    }
}

}  // namespace

// Google Benchmark's console output, keeping each run's figures for the ratios printed at the
// end.
class KeepRuns : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Run> runs;
    void ReportRuns(const std::vector<Run>& reported) override {
        for (const Run& run : reported) runs[run.run_name.function_name] = run;
        ConsoleReporter::ReportRuns(reported);
    }
};

// Each case is two benchmarks, listed, filtered and run as any others
// (--benchmark_filter=mp4v plays only those cases): the window playing, and its peer.
int main(int argc, char** argv) {
    useGermanFormats();
    QStandardPaths::setTestModeEnabled(true);  // the window's settings: the user's stay as they are
    WindowSettings().reset();
    QApplication app(argc, argv);
    loadGermanQtTranslation();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RegisterBenchmark("BM_LiveCamera", liveCamera)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark(caseName("BM_WindowPlayback", c).c_str(),
                                     [&c](benchmark::State& s) { windowPlayback(s, c); })
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(
            caseName("BM_VideoStepAnalysed", c).c_str(),
            [&c](benchmark::State& s) { quendra::stepVideoAnalysed(s, sampleVideo(c)); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
    }
    KeepRuns reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const Case& c : kCases) {
        const auto window = reporter.runs.find(caseName("BM_WindowPlayback", c));
        const auto peer = reporter.runs.find(caseName("BM_VideoStepAnalysed", c));
        if (window == reporter.runs.end() || peer == reporter.runs.end()) continue;
        const auto counter = [&](const char* name) {
            return static_cast<double>(window->second.counters.at(name));
        };
        std::printf(
            "window %dx%d %s: %.3f of the video's frames shown, video time %.3f of real time, "
            "%.0f frames skipped; %.2f ms CPU per shown frame, %.1f times %s\n",
            c.size.width, c.size.height, c.codec, counter("shown"), counter("video_time"),
            counter("skipped"), counter("cpu_ms_per_shown"),
            counter("cpu_ms_per_shown") / peer->second.GetAdjustedCPUTime(), peer->first.c_str());
    }
    return 0;
}
