// HD and 4K frames on a 1280x1024 screen: the window stays on the screen, the view scrolls and
// zooms, and the controls the operator needs are on the screen and answer clicks.

#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "DialogDriver.h"
#include "ShownView.h"
#include "TestSettings.h"
#include "TestVideo.h"
#include "WidgetLookup.h"
#include "app/QuendraRC1.h"
#include "model/CalculationModel.h"
#include "panels/PickerController.h"
#include "panels/VideoController.h"
#include "view/FrameView.h"
#include "view/ViewArea.h"

class SmallScreenTest : public QObject {
    Q_OBJECT
    DialogDriver dialogs;

    static QRect freeRoom(const QWidget* w) { return w->screen()->availableGeometry(); }

    static bool onScreen(const QWidget* control) {
        return control->isVisible() &&
               freeRoom(control).contains(QRect(control->mapToGlobal(QPoint()), control->size()));
    }

private slots:
    void initTestCase() { useFreshTestSettings(); }

    void hdFramesLeaveEveryControlOnTheScreen() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("hd.avi"));
        QVERIFY(writeIndexedVideo(video.toStdString(), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                                  5, {1920, 1080}));
        QuendraRC1 w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY2(freeRoom(&w).width() < 1920, "this test wants a screen narrower than the frame");

        QVERIFY(w.openImageFile(QStringLiteral(QUENDRA_SAMPLE_DIR "/premolar-1920x1080.png")));
        QVERIFY(freeRoom(&w).contains(w.frameGeometry()));
        QVERIFY(w.viewArea()->horizontalScrollBar()->maximum() > 0);  // still 1:1, scrolled
        QCOMPARE(w.view()->scale(), 1.0);
        QVERIFY(onScreen(w.saveViewButton()));
        QTest::mouseClick(w.saveViewButton(), Qt::LeftButton);
        QCOMPARE(dialogs.seen.value(0), QStringLiteral("Aktuelles Bild speichern..."));

        QVERIFY(w.openVideoFile(video));
        QVERIFY(freeRoom(&w).contains(w.frameGeometry()));
        auto* play = buttonShowing(w.videoPanel(), QStringLiteral(">/||"));
        QVERIFY(onScreen(play));
        QSignalSpy frames(w.model(), &CalculationModel::frameProcessed);
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(frames.wait(2000));
        QTest::mouseClick(play, Qt::LeftButton);

        named(&w, "configLUT")->trigger();
        QVERIFY(onScreen(w.picker()));
        auto* gum = buttonShowing(w.picker(), QStringLiteral("Zahnfleisch"));
        QVERIFY(onScreen(gum));
        QTest::mouseClick(gum, Qt::LeftButton, {}, QPoint(8, gum->height() / 2));  // its circle
        QVERIFY(gum->isChecked());
        QVERIFY(freeRoom(&w).contains(w.frameGeometry()));
    }

    // A 4K frame is analysed at 1:1 inside the screen, then fitted, zoomed and scrolled.
    void fourKFrameIsAnalysedScrolledAndZoomed() {
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("4k.png"));
        cv::Mat frame;
        cv::resize(cv::imread(QUENDRA_SAMPLE_DIR "/premolar-1920x1080.png"), frame, {3840, 2160}, 0,
                   0, cv::INTER_NEAREST);
        QVERIFY(cv::imwrite(picture.toStdString(), frame));
        QuendraRC1 w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.loadClassesFile(QStringLiteral(QUENDRA_SAMPLE_DIR "/classes.dat")));
        QVERIFY(w.openImageFile(picture));
        QVERIFY(w.model()->getResult().hasResults);
        QVERIFY(freeRoom(&w).contains(w.frameGeometry()));
        QScrollBar* down = w.viewArea()->verticalScrollBar();
        QCOMPARE(down->maximum() - down->minimum() + down->pageStep(), 2160);
        down->setValue(down->maximum());
        QCOMPARE(w.view()->corner().y(), w.viewArea()->viewport()->height() - 2160);
        QCOMPARE(pixelsUnlikeTheFrame(w.view()), 0);  // the frame's bottom, in place

        w.viewArea()->fitToArea();
        const double fitted = w.view()->scale();
        QVERIFY(fitted < 0.5);
        const QSize shown = w.view()->frameSize() * fitted;
        QVERIFY(w.viewArea()->viewport()->rect().contains(QRect(w.view()->corner(), shown)));
        w.viewArea()->zoomIn();
        QCOMPARE(w.view()->scale(), std::sqrt(0.125));  // the next power of √2
        QVERIFY(freeRoom(&w).contains(w.frameGeometry()));
    }
};

QTEST_MAIN(SmallScreenTest)
#include "SmallScreenTest.moc"
