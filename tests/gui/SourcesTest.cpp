#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "TestVideo.h"
#include "panels/VideoController.h"
#include "sources/FrameObserver.h"
#include "sources/PlaybackClock.h"
#include "sources/VideoModel.h"

namespace {

// Records the index of every frame `source` is notified of, from its first.
struct Recorder : FrameObserver {
    explicit Recorder(FrameModel* observed) : source(observed) { source->setObserver(this); }
    FrameModel* source;
    std::vector<int> shown;
    void newFrame() override { shown.push_back(frameIndexOf(source->getFrame())); }
    void newSource() override { newFrame(); }
};

}  // namespace

class SourcesTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString avi, mp4;

private slots:
    void initTestCase() {
        avi = dir.filePath(QStringLiteral("zwanzig.avi"));
        mp4 = dir.filePath(QStringLiteral("zwanzig.mp4"));
        QVERIFY(
            writeIndexedVideo(avi.toStdString(), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20));
        QVERIFY(
            writeIndexedVideo(mp4.toStdString(), cv::VideoWriter::fourcc('m', 'p', '4', 'v'), 20));
    }

    void navigationShowsTheRightFrame_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("mjpg-avi") << avi;
        QTest::newRow("mpeg4") << mp4;
    }

    void navigationShowsTheRightFrame() {
        QFETCH(QString, file);
        VideoModel video(file.toStdString());
        QVERIFY(video.isValid());
        QCOMPARE(video.getFrameCount(), 20);
        QCOMPARE(video.getInterval(), 40);
        Recorder r(&video);
        QCOMPARE(r.shown, std::vector<int>{0});
        video.prevFrame();
        QCOMPARE(r.shown.back(), 19);
        video.nextFrame();
        QCOMPARE(r.shown.back(), 0);
        video.setFrame(20);
        QCOMPARE(r.shown.back(), 0);
        video.setFrame(-1);
        QCOMPARE(video.getPosition(), 19);
        QCOMPARE(r.shown.back(), 19);
        // Sequential playback and random seeks agree frame for frame.
        for (int i = 0; i < 25; ++i) {
            video.nextFrame();
            QCOMPARE(r.shown.back(), video.getPosition());
        }
        for (const int i : {13, 2, 2, 17, 5, 6, 19, 0, 11}) {
            video.setFrame(i);
            QCOMPARE(r.shown.back(), i);
        }
    }

    // A file that claims a million frames per second (the container keeps 600) would
    // otherwise play on a 1 ms timer.
    void absurdFrameRatesPlayAtASaneInterval() {
        const QString fast = dir.filePath(QStringLiteral("schnell.avi"));
        QVERIFY(writeIndexedVideo(fast.toStdString(), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                                  5, {64, 48}, 1e6));
        VideoModel video(fast.toStdString());
        QVERIFY(video.isValid());
        QCOMPARE(video.getInterval(), VideoModel::kMinInterval);
    }

    // Playing keeps the video's time. Each tick is driven here by hand, with a clock that
    // moves on by what the frame before cost (at least the timer's 40 ms): a chain that keeps
    // up shows every frame, one late tick skips nothing, and a chain slower than the frames
    // (a 4K video used to play at a third of its speed) skips the frames due meanwhile, says
    // how many, and stays within a frame or two of the video's own time.
    void playbackKeepsTheVideosTime_data() {
        QTest::addColumn<QList<int>>("costs");  // milliseconds, per frame, repeated
        QTest::addColumn<bool>("skips");
        QTest::newRow("keeps up") << QList<int>{30} << false;
        QTest::newRow("one late frame") << QList<int>{30, 30, 30, 70, 30} << false;
        QTest::newRow("slower than the frames") << QList<int>{100} << true;
        QTest::newRow("far slower") << QList<int>{230} << true;
        QTest::newRow("beyond catching up") << QList<int>{2000} << true;
    }

    void playbackKeepsTheVideosTime() {
        QFETCH(QList<int>, costs);
        QFETCH(bool, skips);
        std::int64_t now = 1000;
        VideoModel video(avi.toStdString(), [&] { return now; });
        struct Costly : FrameObserver {  // takes each frame, as the chain does
            VideoModel* video = nullptr;
            std::function<void()> cost;
            int wrong = 0;  // frames taken that were not the one at the position
            void newFrame() override {
                wrong += frameIndexOf(video->getFrame()) != video->getPosition();
                cost();
            }
            void newSource() override {}
        } chain;
        chain.video = &video;
        // The timer's ticks keep their schedule, 40 ms apart, unless a frame took longer.
        int ticks = 0;
        std::int64_t scheduled = now;
        chain.cost = [&] {
            scheduled += 40;
            now = std::max(now + costs[std::min<qsizetype>(ticks, costs.size() - 1)], scheduled);
        };
        video.setObserver(&chain);
        QSignalSpy skipped(&video, &VideoModel::framesSkipped);
        video.togglePlaying();
        QCOMPARE(skipped.takeFirst().at(0).toInt(), 0);  // none skipped yet, as it starts
        const std::int64_t started = now;
        int moved = 0;  // frames the video moved on, skipped ones included
        for (; ticks < 60; ++ticks) {
            const std::int64_t due = (now - started) * 25 / 1000;  // frames since the start
            const int before = video.getPosition();
            QVERIFY(QMetaObject::invokeMethod(&video, "playOn", Qt::DirectConnection));
            const int steps = (video.getPosition() - before + 20) % 20;
            moved += steps;
            // Behind by at most one frame, unless the chain is too slow for skipping to mend:
            // then as many frames a tick as skipping is worth.
            const bool mendable = costs.back() < 40 * PlaybackClock::kMaxSteps;
            if (mendable)
                QVERIFY2(due - moved <= 1,
                         qPrintable(QStringLiteral("%1 behind").arg(due - moved)));
            else
                QCOMPARE(steps, ticks == 0 ? 1 : PlaybackClock::kMaxSteps);
        }
        video.togglePlaying();
        QCOMPARE(chain.wrong, 0);  // the frames read on and passed over are the skipped ones
        QCOMPARE(moved > ticks, skips);
        QCOMPARE(skipped.isEmpty(), !skips);
        if (skips) QCOMPARE(skipped.last().at(0).toInt(), moved - ticks);
    }

    // Skipped frames are decoded all the same: where reading one frame takes about its time
    // or more (a 4K video on a busy machine), skipping only slows every tick, and the frames
    // shown fell to one a second. The clock then steps one frame a tick.
    void skippingStopsWhereReadingIsTooSlow_data() {
        QTest::addColumn<double>("readCost");  // milliseconds a frame, at 25 frames a second
        QTest::addColumn<int>("steps");
        QTest::newRow("cheap reads") << 10.0 << 4;
        QTest::newRow("reads a little quicker than the frames") << 35.0 << 4;
        QTest::newRow("reads as slow as the frames") << 40.0 << 1;
        QTest::newRow("slower reads") << 90.0 << 1;
    }

    void skippingStopsWhereReadingIsTooSlow() {
        QFETCH(double, readCost);
        QFETCH(int, steps);
        std::int64_t now = 0;
        PlaybackClock clock(25, [&] { return now; });
        clock.start();
        for (int i = 0; i < 8; ++i) clock.noteReadCost(readCost);
        now = 200;  // five frames due, one of them let be
        QCOMPARE(clock.stepsDue(), steps);
        now = 240;  // the lag given up stays given up: one frame due
        QCOMPARE(clock.stepsDue(), 1);
    }

    // A video cut off (a copy broken off, or a header that promises more) ends where reading
    // ends: its frame count used to be the header's, and the frames past the cut were never
    // read while the slider went on. (A frame inside that cannot be read is
    // WindowTest::damagedVideosAreToldInTheStatusBar.)
    void damagedVideosEndWhereReadingEnds() {
        const QString cut = dir.filePath(QStringLiteral("abgeschnitten.avi"));
        QVERIFY(
            writeIndexedVideo(cut.toStdString(), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20));
        QVERIFY(cutVideoBeforeFrame(cut.toStdString(), 13));
        int readable = 0;  // read on from the start, as far as it goes
        cv::Mat frame;
        for (cv::VideoCapture capture(cut.toStdString()); capture.read(frame) && !frame.empty();)
            ++readable;
        QCOMPARE(readable, 13);
        VideoModel video(cut.toStdString());
        QCOMPARE(video.getHeaderFrameCount(), 20);
        QCOMPARE(video.getFrameCount(), readable);
        Recorder r(&video);
        for (int i = 0; i < 2 * 13; ++i) {
            video.nextFrame();
            QCOMPARE(r.shown.back(), video.getPosition());
        }
    }

    void panelFollowsTheVideo() {
        VideoController panel;
        auto video = std::make_unique<VideoModel>(avi.toStdString());
        Recorder r(video.get());
        panel.setModel(video.get());
        r.shown.clear();
        video->nextFrame();
        QCOMPARE(panel.slider()->value(), 1);
        QCOMPARE(r.shown, std::vector<int>{1});  // shown (and analysed) once, not again
        // The slider's end, and the End key, are the last frame; they used to show frame 0.
        QCOMPARE(panel.slider()->maximum(), 19);
        QTest::keyClick(panel.slider(), Qt::Key_End);
        QCOMPARE(video->getPosition(), 19);
        QCOMPARE(r.shown.back(), 19);
        video->nextFrame();
        QCOMPARE(panel.slider()->value(), 0);
        video->setFrame(7);
        video.reset();  // a second video resets the range
        VideoModel second(mp4.toStdString());
        Recorder watching(&second);
        panel.setModel(&second);
        QCOMPARE(panel.slider()->value(), 0);
    }
};

QTEST_MAIN(SourcesTest)
#include "SourcesTest.moc"
