#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "TestVideo.h"
#include "panels/VideoController.h"
#include "sources/CameraModel.h"
#include "sources/FrameObserver.h"
#include "sources/VideoModel.h"

namespace {

// Records the index of every frame it is notified of.
struct Recorder : FrameObserver {
    FrameModel* source = nullptr;
    std::vector<int> shown;
    int sources = 0;
    void newFrame() override { shown.push_back(frameIndexOf(source->getFrame())); }
    void newSource() override {
        ++sources;
        shown.push_back(frameIndexOf(source->getFrame()));
    }
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
        Recorder r;
        r.source = &video;
        video.setObserver(&r);
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

    void playingLoopsOnItsTimer() {
        VideoModel video(avi.toStdString());
        Recorder r;
        r.source = &video;
        video.setObserver(&r);
        QSignalSpy changed(&video, &VideoModel::frameChanged);
        video.togglePlaying();
        QVERIFY(video.isPlaying());
        while (changed.size() < 3) QVERIFY(changed.wait(2000));
        video.togglePlaying();
        const int stoppedAt = video.getPosition();
        QCoreApplication::processEvents();  // a stopped timer has nothing more to deliver
        QCOMPARE(video.getPosition(), stoppedAt);
        QVERIFY(!video.isPlaying());
    }

    void unreadableVideosAreInvalid() {
        QVERIFY(!VideoModel(dir.filePath("fehlt.avi").toStdString()).isValid());
        QFile text(dir.filePath("text.avi"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("kein Video");
        text.close();
        QVERIFY(!VideoModel(text.fileName().toStdString()).isValid());
    }

    void panelFollowsTheVideo() {
        VideoController panel;
        auto video = std::make_unique<VideoModel>(avi.toStdString());
        Recorder r;
        r.source = video.get();
        video->setObserver(&r);
        panel.setModel(video.get());
        QCOMPARE(panel.slider()->maximum(), 20);
        r.shown.clear();
        video->nextFrame();
        QCOMPARE(panel.slider()->value(), 1);
        QCOMPARE(r.shown, std::vector<int>{1});  // shown (and analysed) once, not again
        panel.slider()->setValue(20);            // the slider's end is frame 0 again
        QCOMPARE(video->getPosition(), 0);
        QCOMPARE(panel.slider()->value(), 0);
        video->setFrame(7);
        video.reset();  // a second video resets the range
        VideoModel second(mp4.toStdString());
        r.source = &second;
        second.setObserver(&r);
        panel.setModel(&second);
        QCOMPARE(panel.slider()->value(), 0);
    }

    void cameraStandInDeliversOnItsTimer() {
        const std::string file = avi.toStdString();
        CameraModel::setCaptureOpener(
            [file](int) { return std::make_unique<cv::VideoCapture>(file); });
        {
            CameraModel camera(0);
            QVERIFY(CameraModel::isInUse());
            Recorder r;
            r.source = &camera;
            camera.setObserver(&r);
            QCOMPARE(r.shown.size(), 1u);
            QTRY_VERIFY_WITH_TIMEOUT(r.shown.size() >= 4, 2000);
            // The stand-in ends after 20 frames: later pulls deliver nothing, and nothing fails.
            QTRY_VERIFY_WITH_TIMEOUT(r.shown.size() >= 25, 3000);
        }
        QVERIFY(!CameraModel::isInUse());
        CameraModel::setCaptureOpener([](int) { return std::make_unique<cv::VideoCapture>(); });
        CameraModel none(0);
        QVERIFY(!CameraModel::isInUse());
    }
};

QTEST_MAIN(SourcesTest)
#include "SourcesTest.moc"
