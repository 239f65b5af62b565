// The camera: a live GStreamer source standing in for it (its frames numbered by where their
// bars stand), the newest-frame rule, the window's commands, messages and settings dialog.

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QErrorMessage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <thread>

#include "DialogDriver.h"
#include "LiveTestSource.h"
#include "TestSettings.h"
#include "WidgetLookup.h"
#include "app/CameraCommands.h"
#include "app/ElidedLabel.h"
#include "app/QuendraRC1.h"
#include "app/Translation.h"
#include "model/CalculationModel.h"
#include "sources/CameraControls.h"
#include "sources/CameraDevice.h"
#include "sources/CameraModel.h"
#include "sources/FrameObserver.h"

namespace {

CameraSettings live(cv::Size size = {1920, 1080}) {
    CameraSettings s;
    s.device = quendra::liveTestPipeline(size, 30);
    return s;
}

// A chain that takes `cost` milliseconds a frame, noting the number of each frame it took and
// how many frames the live source was on by then (from the time since the first one).
struct SlowChain : FrameObserver {
    CameraModel* camera = nullptr;
    int cost = 0;
    QElapsedTimer clock;
    std::vector<int> numbers;
    std::vector<double> lag;  // frames the source was on beyond the frame taken, less the first
    void newSource() override { newFrame(); }
    void newFrame() override {
        const cv::Mat frame = camera->getFrame();
        const int n = quendra::liveFrameNumber(frame);
        if (numbers.empty()) clock.start();
        const double due = static_cast<double>(clock.elapsed()) * 30 / 1000;
        const int on = numbers.empty() ? 0
                                       : quendra::liveFramesBetween(
                                             numbers.front(), n, quendra::liveFramePeriod(frame));
        numbers.push_back(n);
        lag.push_back(due - on);
        std::this_thread::sleep_for(std::chrono::milliseconds(cost));
    }
};

// Records every value a capture is set to; reads give `offered` for every property but those
// in `lacking`, which read as V4L2 reads a control the driver lacks.
struct ControlledCapture : cv::VideoCapture {
    std::vector<int> lacking;
    mutable std::vector<std::pair<int, double>> sets;
    bool isOpened() const override { return true; }
    double get(int property) const override {
        return std::count(lacking.begin(), lacking.end(), property) ? -1 : 5;
    }
    bool set(int property, double value) override {
        sets.emplace_back(property, value);
        return true;
    }
};

}  // namespace

class CameraTest : public QObject {
    Q_OBJECT
    DialogDriver dialogs;

    static QString status(QuendraRC1& w) {
        return named<ElidedLabel>(&w, "statusText")->fullText();
    }

private slots:
    void initTestCase() { QVERIFY(loadGermanQtTranslation()); }
    void init() {
        dialogs.answer = nullptr;
        dialogs.seen.clear();
        useFreshTestSettings();
        CameraModel::setCaptureOpener(camera::open);
    }

    // A chain three times slower than the camera shows the newest frame each time: the frames
    // it shows move on with the source's own time instead of falling further behind, and the
    // frames in between are counted as missed. A chain that keeps up misses none.
    void theChainTakesTheNewestFrame_data() {
        QTest::addColumn<int>("cost");
        QTest::newRow("slow chain") << 100;
        QTest::newRow("keeping up") << 5;
    }
    void theChainTakesTheNewestFrame() {
        QFETCH(int, cost);
        CameraModel camera(live());
        QVERIFY(camera.isOpen());
        QCOMPARE(camera.delivery().width, 1920);
        SlowChain chain;
        chain.camera = &camera;
        chain.cost = cost;
        camera.setObserver(&chain);
        QTRY_VERIFY_WITH_TIMEOUT(chain.numbers.size() >= 12, 10000);
        const std::int64_t missed = camera.framesMissed(), taken = camera.framesTaken();
        camera.close();
        int between = 0;
        for (std::size_t i = 1; i < chain.numbers.size(); ++i) {
            const int step = quendra::liveFramesBetween(chain.numbers[i - 1], chain.numbers[i],
                                                        1920 / quendra::kLiveStep);
            QVERIFY2(step >= 1, "a frame shown again or out of order");
            between += step - 1;
        }
        // Within three frames of the source throughout (a busy machine's slack): a chain that took
        // queued frames in turn would fall a further 2 frames behind with every frame.
        const auto [least, most] = std::minmax_element(chain.lag.begin(), chain.lag.end());
        QVERIFY2(*most - *least < 4, qPrintable(QString::number(*most - *least)));
        // Missed: the frames between those taken, less any the source itself dropped.
        QVERIFY2(missed <= between && missed >= between - 2,
                 qPrintable(QStringLiteral("%1 %2").arg(missed).arg(between)));
        if (cost > 33)
            QVERIFY(missed >= taken);
        else
            QVERIFY(missed <= 2);
    }

    // Locks set the camera's automatic control off before its value, unlocking gives it back,
    // and a control the driver lacks is neither offered nor touched. Only V4L2 cameras have
    // controls.
    void controlsAreSetWhereTheCameraHasThem() {
        ControlledCapture capture;
        capture.lacking = {cv::CAP_PROP_WB_TEMPERATURE};
        QVERIFY(!camera::probeControls(capture, "GSTREAMER").exposure);
        const CameraControlSupport support = camera::probeControls(capture, "V4L2");
        QVERIFY(support.exposure && support.gain && !support.whiteBalance);
        CameraSettings s;
        s.lockExposure = s.lockWhiteBalance = true;
        s.exposure = 156;
        s.gain = 7;
        camera::applyControls(capture, s, support);
        using Set = std::vector<std::pair<int, double>>;
        QCOMPARE(capture.sets, (Set{{cv::CAP_PROP_AUTO_EXPOSURE, 1},
                                    {cv::CAP_PROP_EXPOSURE, 156},
                                    {cv::CAP_PROP_GAIN, 7}}));
        capture.sets.clear();
        camera::applyControls(capture, {}, support);
        QCOMPARE(capture.sets, (Set{{cv::CAP_PROP_AUTO_EXPOSURE, 3}}));
    }

    // The messages stay the window's own; the status bar says why.
    void camerasThatCannotBeOpenedSayWhy_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << "/dev/video77"
                                 << "Kamera \"/dev/video77\" nicht gefunden: es gibt kein Gerät "
                                    "/dev/video77.";
        QTest::newRow("no camera") << "/dev/null"
                                   << "Kamera \"/dev/null\" ließ sich nicht starten: /dev/null "
                                      "wird von einem anderen Programm verwendet oder ist keine "
                                      "Kamera.";
        QTest::newRow("address") << "rtsp://127.0.0.1:9/kamera"
                                 << "Die Quelle \"rtsp://127.0.0.1:9/kamera\" ließ sich nicht "
                                    "öffnen: Pipeline oder Adresse prüfen.";
    }
    void camerasThatCannotBeOpenedSayWhy() {
        QFETCH(QString, device);
        QFETCH(QString, why);
        QuendraRC1 w;
        w.show();
        CameraSettings s;
        s.device = device.toStdString();
        QVERIFY(!w.camera()->openWith(s));
        QCOMPARE(w.lastMessage(),
                 QStringLiteral("Beim ansteuern der Kamera ist ein Fehler aufgetreten!"));
        QCOMPARE(status(w), why);
        QVERIFY(!CameraModel::isInUse());
    }

    // The status bar tells what the camera delivers and what it refused; the choice is kept
    // for "Kamerastream starten...", which refuses a second start. The settings dialog shows
    // the choice; a GStreamer source has no controls, greyed out and said why; OK opens the
    // camera chosen, in place of the one running.
    void liveCameraInTheWindow() {
        QuendraRC1 w;
        w.show();
        CameraSettings asked = live();
        asked.width = 1280;
        asked.height = 720;
        QVERIFY(w.camera()->openWith(asked));
        QCOMPARE(status(w), QStringLiteral("Kamera geöffnet: 1920 × 1080 Bildpunkte, 30 Bilder/s. "
                                           "Verlangt war 1280 × 720 Bildpunkte; die Kamera hat "
                                           "das Format abgelehnt."));
        QCOMPARE(WindowSettings().camera(), asked);
        const int first = quendra::liveFrameNumber(w.model()->getImage());
        QTRY_VERIFY(quendra::liveFrameNumber(w.model()->getImage()) != first);
        named(&w, "openCamera")->trigger();
        QCOMPARE(w.lastMessage(), QStringLiteral("Die Kamera wird bereits verwendet."));
        QVERIFY(w.openImageFile(QStringLiteral(QUENDRA_SAMPLE_DIR "/front-640x480.png")));
        QVERIFY(!CameraModel::isInUse());
        named(&w, "openCamera")->trigger();  // as chosen last
        QVERIFY(CameraModel::isInUse());
        QCOMPARE(w.model()->getImage().size(), cv::Size(1920, 1080));

        QString note;
        bool lockable = true;
        dialogs.answer = [&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Kamera einstellen"));
            note = d->findChild<QLabel*>(QStringLiteral("controlsNote"))->text();
            lockable = d->findChild<QCheckBox*>(QStringLiteral("lockExposure"))->isEnabled();
            d->findChild<QComboBox*>(QStringLiteral("device"))
                ->setCurrentText(QString::fromStdString(live({640, 480}).device));
            d->findChild<QComboBox*>(QStringLiteral("size"))->setCurrentIndex(0);  // the camera's
            d->accept();
        };
        named(&w, "chooseCamera")->trigger();
        QVERIFY(!lockable);
        QVERIFY2(note.contains(QStringLiteral("GSTREAMER")), qPrintable(note));
        QCOMPARE(w.model()->getImage().size(), cv::Size(640, 480));
        QCOMPARE(WindowSettings().camera().device, live({640, 480}).device);
        QCOMPARE(status(w), QStringLiteral("Kamera geöffnet: 640 × 480 Bildpunkte, 30 Bilder/s."));
    }

    // While a camera message is on screen the command cannot be given again: the messages
    // used to pile up, one per click. A camera that gives no frame yet is not told with the
    // size of the picture before.
    void cameraIsRefusedOneMessageAtATime() {
        QuendraRC1 w;
        w.show();
        QVERIFY(w.openImageFile(QStringLiteral(QUENDRA_SAMPLE_DIR "/front-640x480.png")));
        CameraModel::setCaptureOpener(
            [](const CameraSettings&) { return std::make_unique<cv::VideoCapture>(); });
        // Clicked through the window system, which holds clicks back from a window behind a
        // modal dialog.
        const QWidget* button =
            named<QToolBar>(&w, "mainToolBar")->widgetForAction(named(&w, "openCamera"));
        const auto clickCamera = [&] {
            QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {},
                              button->mapTo(&w, button->rect().center()));
        };
        int mostOnScreen = 0;
        QString checkBox;
        dialogs.answer = [&](QDialog* d) {
            checkBox = d->findChild<QCheckBox*>()->text();
            if (dialogs.seen.size() == 1)
                for (int i = 0; i < 2; ++i) clickCamera();
            for (const QWidget* top : QApplication::topLevelWidgets())
                mostOnScreen += qobject_cast<const QErrorMessage*>(top) && top->isVisible();
            d->accept();
        };
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickCamera();
        QTRY_COMPARE(dialogs.seen.size(), 1);
        QCOMPARE(mostOnScreen, 1);
        QCOMPARE(checkBox, QStringLiteral("Diese Meldung wieder an&zeigen"));
        QCOMPARE(w.model()->getImage().size(), cv::Size(640, 480));  // the image stays

        struct WarmingUp : cv::VideoCapture {
            bool isOpened() const override { return true; }
            bool read(cv::OutputArray) override { return false; }
        };
        CameraModel::setCaptureOpener(
            [](const CameraSettings&) { return std::make_unique<WarmingUp>(); });
        dialogs.answer = nullptr;
        named(&w, "openCamera")->trigger();
        QCOMPARE(status(w), QStringLiteral("Kamera geöffnet."));
    }
};

QTEST_MAIN(CameraTest)
#include "CameraTest.moc"
