#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <set>
#include <sstream>

#include "BadInputs.h"
#include "DialogDriver.h"
#include "HandMadeTiff.h"
#include "SampleScene.h"
#include "ShownView.h"
#include "TestSettings.h"
#include "TestVideo.h"
#include "WidgetLookup.h"
#include "app/ElidedLabel.h"
#include "app/QuendraRC1.h"
#include "app/Translation.h"
#include "colour/ColorKey.h"
#include "io/PictureFile.h"
#include "model/CalculationModel.h"
#include "overlay/RecognitionData.h"
#include "panels/PickerController.h"
#include "panels/SettingControls.h"
#include "panels/ThreshController.h"
#include "panels/VideoController.h"
#include "sources/VideoModel.h"
#include "view/FrameView.h"
#include "view/ViewArea.h"
#include "view/ViewMapping.h"

// Drives the real window as an operator would: tool bar actions, drags in the view, panels.
class WindowTest : public QObject {
    Q_OBJECT
    DialogDriver dialogs;

    QString sample(const char* name) const { return QStringLiteral(QUENDRA_SAMPLE_DIR "/") + name; }

    static void drag(FrameView* view, QPoint from, QPoint to) {
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, (from + to) / 2);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
    }

    // The window shown on screen with this picture open.
    static bool showing(QuendraRC1& w, const QString& picture) {
        w.show();
        return w.openImageFile(picture) && QTest::qWaitForWindowExposed(&w);
    }

    // The window on the molar sample in the configuration mode; the frame it shows, or none.
    cv::Mat configuringOnMolar(QuendraRC1& w) const {
        if (!showing(w, sample("molar-640x480.png"))) return {};
        named(&w, "configLUT")->trigger();
        return w.model()->getImage().clone();
    }

    // A file's name as the system spells it.
    static std::string local(const QString& file) { return QFile::encodeName(file).toStdString(); }

    // The colours of the half-open rectangle of the sample picture.
    static std::set<quendra::ColorKey> coloursOf(const cv::Mat& frame, cv::Rect r) {
        std::set<quendra::ColorKey> keys;
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x)
                keys.insert(quendra::colorKeyOf(frame.ptr(y, x)));
        return keys;
    }

    // The operator's last step, on the left of the status bar; the analysis, on its right.
    static QString status(QuendraRC1& w) {
        return named<ElidedLabel>(&w, "statusText")->fullText();
    }
    static QString analysis(QuendraRC1& w) { return named<QLabel>(&w, "analysisLabel")->text(); }

    static std::set<quendra::ColorKey> picked(const CalculationModel* model) {
        std::set<quendra::ColorKey> keys;
        const std::uint8_t* table = model->getTraining().sampleTable();
        for (quendra::ColorKey k = 0; k < quendra::kColorKeyCount; ++k)
            if (table[k]) keys.insert(k);
        return keys;
    }

private slots:
    void initTestCase() { QVERIFY(loadGermanQtTranslation()); }

    // Every window starts as on its first start (the settings are the test's own).
    void init() {
        dialogs.answer = nullptr;
        dialogs.seen.clear();
        useFreshTestSettings();
    }

    // The window starts with only the source commands; a picture brings its panels at frame
    // size; the configuration mode switches the panels and class commands, and keeps across
    // sources.
    void panelsAndCommandsFollowTheSourceAndTheMode() {
        QuendraRC1 w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Quendra"));
        for (const QWidget* panel : std::initializer_list<const QWidget*>{
                 w.saveViewButton(), w.thresholds(), w.videoPanel(), w.picker()})
            QVERIFY(!panel->isVisible());
        for (const char* name : {"loadLUT", "saveLUT", "configLUT", "resetLUT"})
            QVERIFY(!named(&w, name)->isEnabled());
        for (const char* name : {"openImage", "openVideo", "openCamera", "chooseCamera",
                                 "resetSettings", "actionBeenden"})
            QVERIFY(named(&w, name)->isEnabled());
        QToolBar* toolBar = named<QToolBar>(&w, "mainToolBar");
        QCOMPARE(toolBar->actions().size(), 12);
        for (QAction* a : toolBar->actions())
            QVERIFY(a->isSeparator() || !a->icon().pixmap(48, 48).isNull());
        QCOMPARE(w.toolBarArea(toolBar), Qt::LeftToolBarArea);
        // The context menu used to offer hiding the tool bar, with no way back.
        const std::unique_ptr<QMenu> menu(w.createPopupMenu());
        QVERIFY(!menu || menu->isEmpty());

        QVERIFY(w.openImageFile(sample("molar-640x480.png")));
        QCOMPARE(status(w),
                 QStringLiteral("Bild \"molar-640x480.png\" geöffnet: 640 × 480 Bildpunkte."));
        QCOMPARE(analysis(w), QStringLiteral("Keine Auswertung: keine Farbklassen geladen"));
        QVERIFY(w.saveViewButton()->isVisible());
        QVERIFY(w.thresholds()->isVisible());
        QVERIFY(!w.videoPanel()->isVisible());
        QVERIFY(!w.picker()->isVisible());
        QVERIFY(named(&w, "loadLUT")->isEnabled());
        QVERIFY(!named(&w, "saveLUT")->isEnabled());
        QVERIFY(named(&w, "configLUT")->isEnabled());
        QCOMPARE(w.view()->size(), QSize(640, 480));
        QVERIFY(labelShowing(w.thresholds(), "70"));
        QVERIFY(labelShowing(w.thresholds(), "20px"));
        QVERIFY(labelShowing(w.thresholds(), "80%"));
        QVERIFY(labelShowing(w.picker(), "5"));
        // Both panels have a "Schwellwert:" slider; their tool tips tell which is which.
        QVERIFY(labelShowing(w.thresholds(), "Schwellwert:")->toolTip().startsWith("Kanal"));
        QVERIFY(labelShowing(w.picker(), "Schwellwert:")->toolTip().startsWith("Farbklassen"));
        QVERIFY(w.loadClassesFile(sample("classes.dat")));
        named(&w, "configLUT")->trigger();
        QCOMPARE(status(w), QStringLiteral("Konfigurieren: Klasse wählen und Rechtecke über ihre "
                                           "Farben ziehen. Geladene Farbklassen verworfen."));
        QCOMPARE(analysis(w), QStringLiteral("Keine Auswertung beim Konfigurieren"));
        QVERIFY(w.picker()->isVisible());
        QVERIFY(!named(&w, "loadLUT")->isEnabled());
        QVERIFY(named(&w, "saveLUT")->isEnabled());
        QVERIFY(w.view()->cursor().shape() == Qt::PointingHandCursor);
        // Opening another source keeps the mode and load stays off.
        QVERIFY(w.openImageFile(sample("front-640x480.png")));
        QVERIFY(w.picker()->isVisible());
        QVERIFY(!named(&w, "loadLUT")->isEnabled());
        named(&w, "configLUT")->trigger();
        QCOMPARE(status(w),
                 QStringLiteral("Konfiguration beendet; zum Auswerten Farbklassen laden."));
        QVERIFY(!w.picker()->isVisible());
        QVERIFY(named(&w, "loadLUT")->isEnabled());
        QVERIFY(!named(&w, "saveLUT")->isEnabled());
    }

    // A grey section through three roots with classes trained on it: the tooth falls apart
    // at the class threshold's default; the panels' "automatisch" boxes, the canal minimum and
    // "alle Zähne" find every root's canal.
    void greySectionWithTheAutomaticSettings() {
        QuendraRC1 w;
        QVERIFY(showing(w, sample("sections/section-molar-480x320.png")));
        QCOMPARE(w.model()->loadClasses(sample("sections/sections.dat").toStdString()).status,
                 quendra::ClassFileStatus::Ok);
        QVERIFY(!w.model()->hasResults());

        auto* autoClasses = buttonShowing<QCheckBox>(w.picker(), QStringLiteral("automatisch"));
        QVERIFY(autoClasses);
        autoClasses->setChecked(true);
        QCOMPARE(w.model()->usedLutThreshold(), 10);
        QVERIFY(w.model()->hasResults());
        // The labels show the values in use; they kept showing the sliders' 5 and 70.
        QVERIFY(labelShowing(w.picker(), "10"));

        auto* autoCanals = buttonShowing<QCheckBox>(w.thresholds(), QStringLiteral("automatisch"));
        QVERIFY(autoCanals);
        autoCanals->setChecked(true);
        QVERIFY(!w.thresholds()->findChildren<QSlider*>().front()->isEnabled());
        QVERIFY(w.model()->isAutoThreshold());
        QVERIFY(w.model()->getResult().canalThreshold != 70);
        QVERIFY(
            labelShowing(w.thresholds(), QString::number(w.model()->getResult().canalThreshold)));

        auto* allTeeth = buttonShowing<QCheckBox>(w.thresholds(), QStringLiteral("alle Zähne"));
        QVERIFY(allTeeth);
        allTeeth->setChecked(true);
        const quendra::FrameResult& result = w.model()->getResult();
        QCOMPARE(result.teeth().size(), std::size_t{3});
        std::set<int> used;
        for (const quendra::ToothFinding* t : result.teeth()) {
            QCOMPARE(t->canals.size(), std::size_t{1});
            used.insert(t->canalThreshold);
        }
        QVERIFY(used.size() > 1);
        QVERIFY(labelShowing(w.thresholds(),
                             QStringLiteral("%1–%2").arg(*used.begin()).arg(*used.rbegin())));
        // The status speaks of all roots (it used to name the first one's canals and type).
        QCOMPARE(analysis(w), QStringLiteral("3 Zähne gefunden, 3 Kanäle"));
        // The saved text keeps its lines and records the settings and the source after them.
        QTemporaryDir dir;
        const QString text = dir.filePath(QStringLiteral("schnitt.txt"));
        QVERIFY(w.saveRecognitionFile(text));
        QCOMPARE(
            status(w),
            QStringLiteral("Erkennungsdaten gespeichert: 3 Zähne und 3 Kanäle (%1).").arg(text));
        std::ostringstream lines;
        quendra::writeRecognitionData(lines, result);
        QCOMPARE(fileBytes(text.toStdString()), lines.str() +
                                                    "Einstellungen\n\nSchwellwert: automatisch\n"
                                                    "Farbklassen-Schwellwert: 10 (automatisch)\n"
                                                    "Kanal-Mindestgroesse: 50px\nAlle Zaehne: ja\n"
                                                    "Quelle: section-molar-480x320.png\n");

        auto* minimum = w.thresholds()->findChild<QSpinBox*>();
        QVERIFY(minimum);
        QCOMPARE(minimum->value(), 50);
        minimum->setValue(1000);  // larger than every canal
        QVERIFY(!w.model()->hasResults());
    }

    // Rows of 321 * 3 bytes are not a multiple of 4: the view must not shear them.
    void framebufferShowsTheFramePixelForPixel() {
        QTemporaryDir dir;
        cv::Mat odd(97, 321, CV_8UC3);
        cv::randu(odd, 0, 256);
        const QString path = dir.filePath(QStringLiteral("odd.png"));
        QVERIFY(cv::imwrite(path.toStdString(), odd));
        QuendraRC1 w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Before any source the empty view tells the first step, in white on black.
        const QImage hint = paintedView(w.view());
        int lit = 0;
        for (int y = 0; y < hint.height(); ++y)
            for (int x = 0; x < hint.width(); ++x) lit += hint.pixelColor(x, y) != Qt::black;
        QVERIFY2(lit > 200, qPrintable(QString::number(lit)));
        QVERIFY(w.openImageFile(path));
        QCOMPARE(w.view()->size(), QSize(321, 97));
        QCOMPARE(pixelsUnlikeTheFrame(w.view()), 0);  // the frame with the red area
    }

    // At any zoom a drag picks the frame pixels under its corners, as a drag at 1:1 over the
    // same frame rectangle does: at 1:1 and 2:1 exactly the rectangle (210,160)-(230,170), in a
    // window made smaller with the frame fitted into it the rectangle its corners lie on.
    void pickingAtAnyZoomRecordsTheFramePixelsUnderTheDrag() {
        QuendraRC1 w;
        const cv::Mat frame = configuringOnMolar(w);
        QVERIFY(!frame.empty());
        ViewArea* area = w.viewArea();
        const auto fitSmaller = [&] {
            QSignalSpy zoomed(area, &ViewArea::zoomChanged);
            area->fitToArea();
            // The window may shrink once its layouts, the central one and then its own, have
            // taken the area's new least size.
            for (int layouts = 0; layouts < 2; ++layouts)
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            w.resize(w.width() - 260, w.height());  // the tool bar holds the height
            while (w.view()->scale() >= 1) QVERIFY(zoomed.wait(5000));
        };
        const std::vector<std::pair<const char*, std::function<void()>>> zooms = {
            {"1:1", [&] { area->showActualSize(); }},
            {"fitted", fitSmaller},
            {"2:1",
             [&] {
                 area->showActualSize();
                 area->zoomIn();
                 area->zoomIn();
             }},
        };
        for (const auto& [name, zoom] : zooms) {
            zoom();
            const double s = w.view()->scale();
            const QPoint corner = w.view()->corner();
            const auto over = [&](int x, int y) {
                return corner + QPoint(static_cast<int>(std::ceil(x * s)),
                                       static_cast<int>(std::ceil(y * s)));
            };
            const QPoint from = over(210, 160), to = over(230, 170);
            const QPoint a = frameAt(from, s, corner), b = frameAt(to, s, corner);
            if (s >= 1) QVERIFY2(a == QPoint(210, 160) && b == QPoint(230, 170), name);
            w.model()->resetClasses();
            drag(w.view(), from, to);
            QVERIFY2(picked(w.model()) ==
                         coloursOf(frame, cv::Rect(a.x(), a.y(), b.x() - a.x(), b.y() - a.y())),
                     name);
        }
        QCOMPARE(w.view()->scale(), 2.0);
        QTemporaryDir dir;
        QVERIFY(w.saveImageFile(dir.filePath(QStringLiteral("doppelt.png"))));
        QCOMPARE(QImage(dir.filePath(QStringLiteral("doppelt.png"))).size(), QSize(640, 480));
    }

    // The zoom keys and Ctrl with the mouse wheel, told in the status bar.
    void zoomKeysAndTheWheel() {
        QuendraRC1 w;
        QVERIFY(showing(w, sample("molar-640x480.png")));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* zoom = w.findChild<QToolButton*>(QStringLiteral("zoomButton"));
        QCOMPARE(zoom->text(), QStringLiteral("1:1 (100 %)"));
        QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 141 %"));
        QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 71 %"));
        QTest::keyClick(&w, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(w.view()->scale(), 1.0);
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(zoom->text().startsWith(QStringLiteral("Eingepasst: ")));
        // Fitted, a picture of another size tells its own scale.
        QVERIFY(w.openImageFile(sample("premolar-1920x1080.png")));
        QCOMPARE(zoom->text(),
                 QStringLiteral("Eingepasst: %1 %").arg(qRound(100 * w.view()->scale())));
        // Two notches of the wheel with Ctrl zoom in twice, about the pointer.
        QTest::keyClick(&w, Qt::Key_0, Qt::ControlModifier);
        const QPoint under = frameAt(QPointF(100, 100), 1.0, w.view()->corner());
        QWheelEvent wheel(QPointF(100, 100), w.view()->mapToGlobal(QPointF(100, 100)), {}, {0, 240},
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w.view(), &wheel);
        QCOMPARE(w.view()->scale(), 2.0);
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 200 %"));
        QCOMPARE(frameAt(QPointF(100, 100), 2.0, w.view()->corner()), under);
    }

    // A click picks nothing; a drag records the half-open rectangle in either direction for the
    // class chosen, and beside a zoomed-out frame only its part on the frame.
    void dragRecordsTheHalfOpenRectangleInEitherDirection() {
        QuendraRC1 w;
        const cv::Mat frame = configuringOnMolar(w);
        QVERIFY(!frame.empty());
        QTest::mouseClick(w.view(), Qt::LeftButton, {}, QPoint(300, 200));
        QVERIFY(picked(w.model()).empty());
        QCOMPARE(
            status(w),
            QStringLiteral("Nichts aufgenommen: mit gedrückter Maustaste ein Rechteck ziehen."));
        const std::set<quendra::ColorKey> colours = coloursOf(frame, cv::Rect(210, 160, 20, 10));
        drag(w.view(), QPoint(230, 170), QPoint(210, 160));
        QVERIFY(picked(w.model()) == colours);
        QCOMPARE(
            status(w),
            QStringLiteral("Zahnschmelz: %1 neue Farben, jetzt %1 Farben.").arg(colours.size()));
        // The same colours picked for the gum belong to both classes.
        QTest::mouseClick(buttonShowing(w.picker(), QStringLiteral("Zahnfleisch")), Qt::LeftButton);
        drag(w.view(), QPoint(210, 160), QPoint(230, 170));
        QCOMPARE(status(w), QStringLiteral("Zahnfleisch: 0 neue Farben, jetzt 0 Farben. %1 Farben "
                                           "in beiden Klassen.")
                                .arg(colours.size()));
        named(&w, "resetLUT")->trigger();
        QCOMPARE(status(w), QStringLiteral("Farbklassen zurückgesetzt."));
        drag(w.view(), QPoint(210, 160), QPoint(230, 170));
        QVERIFY(picked(w.model()) == colours);

        // A drag in the margin beside a zoomed-out frame was told as a click without a rectangle.
        w.model()->resetClasses();
        w.viewArea()->fitToArea();
        w.resize(w.width() + 400, w.height());  // the fitted frame keeps its aspect
        QTRY_VERIFY2(w.view()->corner().x() > 40, "a margin beside the frame");
        const QPoint corner = w.view()->corner();
        drag(w.view(), QPoint(5, corner.y() + 5), QPoint(corner.x() - 5, corner.y() + 60));
        QVERIFY(picked(w.model()).empty());
        QCOMPARE(status(w), QStringLiteral("Nichts aufgenommen: das Rechteck liegt außerhalb des "
                                           "Bildes; ein Rechteck über dem Bild ziehen."));
        drag(w.view(), QPoint(5, corner.y() + 5), corner + QPoint(5, 60));  // into the frame
        QVERIFY(!picked(w.model()).empty());
        QVERIFY2(status(w).endsWith(QStringLiteral(" Nur der Teil des Rechtecks im Bild zählt.")),
                 qPrintable(status(w)));
    }

    // At 640 pixels the status bar cut its text without a sign ("Bild und Erkennungsda"): it
    // shows what fits with "…" and the whole text as its tool tip.
    void longStatusTextsAreCutVisibly() {
        QTemporaryDir dir;
        const QString folder =
            dir.filePath(QStringLiteral("ein recht langer Ordnername für "
                                        "Erkennungsdaten einer ganzen Studie"));
        QVERIFY(QDir().mkpath(folder));
        QuendraRC1 w;
        QVERIFY(showing(w, sample("molar-640x480.png")));
        w.viewArea()->fitToArea();
        w.resize(640, w.height());  // or as narrow as the window gets
        const QString text = folder + QStringLiteral("/daten.txt");
        QVERIFY(w.saveRecognitionFile(text));
        QTRY_COMPARE(w.width(), std::max(640, w.minimumSizeHint().width()));
        auto* line = named<ElidedLabel>(&w, "statusText");
        QVERIFY(line);
        const QString whole =
            QStringLiteral("Erkennungsdaten gespeichert: leer, kein Ergebnis (%1).").arg(text);
        QCOMPARE(line->fullText(), whole);
        QCOMPARE(line->toolTip(), whole);
        QVERIFY2(line->text().endsWith(QStringLiteral("…")), qPrintable(line->text()));
        QVERIFY(whole.startsWith(line->text().chopped(1)));
        QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <=
                line->contentsRect().width());
        QVERIFY(line->isVisible());
    }

    void theWholeTrainingLoopEndsInAnAnalysedTooth() {
        const quendra::SampleScene scene = quendra::sampleScenes().front();
        quendra::SampleTruth truth;
        quendra::renderScene(scene, &truth);
        QTemporaryDir dir;
        const QString classes = dir.filePath(QStringLiteral("Farbklassen ä.dat"));

        QuendraRC1 w;
        QVERIFY(!configuringOnMolar(w).empty());
        const auto dragAll = [&](const std::vector<cv::Rect>& rects) {
            for (const cv::Rect& r : rects)
                drag(w.view(), {r.x, r.y}, {r.x + r.width, r.y + r.height});
        };
        dragAll(scene.enamelPicks);
        QAbstractButton* gum = buttonShowing(w.picker(), QStringLiteral("Zahnfleisch"));
        QVERIFY(gum);
        QTest::mouseClick(gum, Qt::LeftButton);
        dragAll(scene.gumPicks);

        QAbstractButton* preview = buttonShowing(w.picker(), QStringLiteral("Vorschau"));
        QVERIFY(preview);
        QTest::mouseClick(preview, Qt::LeftButton);
        const cv::Vec3b shown = w.view()->shownPicture().at<cv::Vec3b>(250, 200);
        QCOMPARE(shown, cv::Vec3b(255, 255, 255));  // enamel painted white

        QVERIFY(w.saveClassesFile(classes));
        QFile classFile(classes);  // four bytes per colour, its class last
        QVERIFY(classFile.open(QIODevice::ReadOnly));
        const QByteArray records = classFile.readAll();
        std::map<int, int> perClass;
        for (qsizetype i = 3; i < records.size(); i += 4)
            ++perClass[static_cast<uchar>(records[i])];
        QCOMPARE(perClass.size(), std::size_t{2});  // enamel and gum, no conflict
        const QString counts = QStringLiteral("%1 Farben Zahnschmelz, %2 Farben Zahnfleisch")
                                   .arg(perClass[1])
                                   .arg(perClass[2]);
        QCOMPARE(status(w),
                 QStringLiteral("Farbklassen gespeichert: %1 (%2).").arg(counts, classes));
        named(&w, "configLUT")->trigger();
        QVERIFY(w.loadClassesFile(classes));
        QCOMPARE(status(w),
                 QStringLiteral("Farbklassen geladen: %1 (Farbklassen ä.dat).").arg(counts));
        QVERIFY(w.model()->hasResults());
        QCOMPARE(w.model()->getToothResult().toothType, truth.toothType);
        QCOMPARE(analysis(w), QStringLiteral("Zahn gefunden, 3 Kanäle: UK-Molar"));

        const QImage picture = paintedView(w.view());
        QCOMPARE(picture.size(), QSize(640, 480));
        QCOMPARE(picture.pixelColor(300, 20), QColor(255, 0, 0));  // analysed area
        int white = 0;
        const int cx = w.model()->getToothResult().centerX;
        for (int y = 0; y < picture.height(); ++y)
            white += picture.pixelColor(cx, y) == QColor(Qt::white);
        QVERIFY(white >= 2);  // the tooth ellipse crosses the centre column

        // A slider move reprocesses the frame: threshold 0 finds no canal.
        QSlider* threshold = w.thresholds()->findChildren<QSlider*>().front();
        threshold->setValue(0);
        QVERIFY(!w.model()->hasResults());
        QVERIFY(labelShowing(w.thresholds(), "0"));
        QCOMPARE(analysis(w), QStringLiteral("Zahn gefunden, kein Kanal"));
        const QString black = dir.filePath(QStringLiteral("schwarz.png"));
        QVERIFY(cv::imwrite(black.toStdString(), cv::Mat(120, 160, CV_8UC3, cv::Scalar::all(0))));
        QVERIFY(w.openImageFile(black));
        QCOMPARE(analysis(w), QStringLiteral("Kein Zahn gefunden"));
    }

    // The video panel comes with a video or a stack and goes with a picture; a source that
    // cannot be opened leaves it. A multi-page TIFF opens like a video whose frames are its
    // slices, named so, 16-bit slices mapped by the stack's one window.
    void videoPanelServesVideosAndStacks() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("Zahnfilm ö.avi"));
        QVERIFY(writeIndexedVideo(local(video), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 12));
        const QString stack = dir.filePath(QStringLiteral("Schnitte ä.tif"));
        std::vector<cv::Mat> slices;
        for (int i = 0; i < 5; ++i) slices.emplace_back(120, 160, CV_16UC1, cv::Scalar(10000 * i));
        QVERIFY(cv::imwritemulti(local(stack), slices));
        QuendraRC1 w;
        w.show();
        QVERIFY(w.openFile(video));
        QVERIFY(QTest::qWaitForWindowExposed(w.view()));
        QCOMPARE(status(w), QStringLiteral("Video \"Zahnfilm ö.avi\" geöffnet: 160 × 120 "
                                           "Bildpunkte, 12 Bilder, 25 Bilder/s."));
        QVERIFY(w.videoPanel()->isVisible());
        QVERIFY(labelShowing(w.videoPanel(), "Bild:"));
        QVERIFY(buttonShowing(w.videoPanel(), QStringLiteral("<|"))
                    ->toolTip()
                    .contains(QStringLiteral("Ein Bild zurück")));
        // The step's frame is on the screen before the step returns: a frame left for the next
        // update request would be replaced unseen by a playing video's next one.
        QSignalSpy swaps(w.view(), &QOpenGLWindow::frameSwapped);
        QTest::mouseClick(buttonShowing(w.videoPanel(), QStringLiteral("|>")), Qt::LeftButton);
        QCOMPARE(swaps.size(), 1);
        QCOMPARE(frameIndexOf(w.model()->getImage()), 1);
        QVERIFY(labelShowing(w.videoPanel(), "1"));
        QVERIFY(!w.openVideoFile(dir.filePath(QStringLiteral("fehlt.avi"))));
        QVERIFY(w.lastMessage().contains(QStringLiteral("fehlt.avi")));
        QVERIFY(w.videoPanel()->isVisible());

        QVERIFY(w.openFile(stack));
        QCOMPARE(status(w), QStringLiteral("Stapel \"Schnitte ä.tif\" geöffnet: 160 × 120 "
                                           "Bildpunkte, 5 Schichten."));
        QVERIFY(labelShowing(w.videoPanel(), "Schicht:"));
        QVERIFY(buttonShowing(w.videoPanel(), QStringLiteral("|>"))
                    ->toolTip()
                    .contains(QStringLiteral("Eine Schicht vor")));
        // Slices are numbered from 1, as in the tables and the report; video frames from 0.
        QVERIFY(labelShowing(w.videoPanel(), "1"));
        QCOMPARE(w.videoPanel()->slider()->maximum(), 4);
        // The window runs from the darkest slice's grey to the brightest's.
        w.videoPanel()->slider()->setValue(3);
        QCOMPARE(w.model()->getImage().at<cv::Vec3b>(60, 80), cv::Vec3b::all(191));  // 255 * 3 / 4
        QVERIFY(labelShowing(w.videoPanel(), "4"));
        QVERIFY(!w.openFile(dir.filePath(QStringLiteral("fehlt.tif"))));
        QVERIFY(w.lastMessage().contains(QStringLiteral("Stapel")));
        QVERIFY(w.openImageFile(sample("front-640x480.png")));
        QVERIFY(!w.videoPanel()->isVisible());

        // A TIFF cut short opened silently as a shorter stack, and a stack with a page too large
        // or broken was refused, or stepped over, without a reason: the window says why (as the
        // batch does) and opens what can be read.
        const auto file = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
        std::vector<cv::Mat> pages(6, cv::Mat(120, 160, CV_8UC1));
        cv::RNG noise(7);  // its own: where the cut lands must not depend on the tests before
        for (cv::Mat& page : pages) noise.fill(page = page.clone(), cv::RNG::UNIFORM, 0, 256);
        QVERIFY(cv::imwritemulti(file("ganz.tif").toStdString(), pages));
        const std::string whole = fileBytes(file("ganz.tif").toStdString());
        writeText(file("kurz.tif").toStdString(), whole.substr(0, whole.size() / 2));
        const std::string eight("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
        std::vector<quendra::TiffEntry> broken = quendra::greyPage({2, 2}, 8);
        broken.erase(broken.begin(), broken.begin() + 2);  // no size
        const auto huge = quendra::greyPage({30000, 30000}, 8);
        writeText(file("riesig.tif").toStdString(),
                  quendra::handMadeTiff(eight, {huge, quendra::greyPage({2, 2}, 8), broken,
                                                quendra::greyPage({2, 2}, 8)}));
        writeText(file("nur-riesig.tif").toStdString(), quendra::handMadeTiff(eight, {huge}));
        const auto small = quendra::greyPage({2, 2}, 8);
        writeText(file("schleife.tif").toStdString(),
                  quendra::handMadeTiff(eight, {small, small}, 0));

        QVERIFY(w.openFile(file("kurz.tif")));
        QCOMPARE(status(w), QStringLiteral("Stapel \"kurz.tif\" geöffnet: 160 × 120 Bildpunkte, 3 "
                                           "Schichten. Die Datei endet nach Seite 3, nennt aber "
                                           "weitere Seiten (abgeschnitten?): geöffnet sind die "
                                           "Seiten bis dahin."));
        QVERIFY(w.openFile(file("schleife.tif")));
        QCOMPARE(status(w), QStringLiteral("Stapel \"schleife.tif\" geöffnet: 2 × 2 Bildpunkte, 2 "
                                           "Schichten. Die Seitenkette der Datei springt nach "
                                           "Seite 2 zurück: geöffnet sind die Seiten 1 bis 2."));
        QVERIFY(w.openFile(file("riesig.tif")));
        QCOMPARE(status(w),
                 QStringLiteral("Stapel \"riesig.tif\" geöffnet: 2 × 2 Bildpunkte, 4 "
                                "Schichten. Schicht 1 kann nicht gelesen werden: sie hat "
                                "30000 × 30000 Bildpunkte, mehr als die 120 Megapixel, "
                                "die geöffnet werden; zu sehen ist Schicht 2."));
        QVERIFY(labelShowing(w.videoPanel(), "2"));
        QTest::mouseClick(buttonShowing(w.videoPanel(), QStringLiteral("|>")), Qt::LeftButton);
        QCOMPARE(status(w), QStringLiteral("Schicht 3 des Stapels kann nicht gelesen werden: ihre "
                                           "Seite ist beschädigt oder in einem Format, das nicht "
                                           "gelesen wird; zu sehen ist weiter Schicht 2."));
        QVERIFY(!w.openFile(file("nur-riesig.tif")));
        QVERIFY2(w.lastMessage().endsWith(QStringLiteral(
                     "keine Schicht ist lesbar; Schicht 1: sie hat 30000 × 30000 Bildpunkte, "
                     "mehr als die 120 Megapixel, die geöffnet werden.")),
                 qPrintable(w.lastMessage()));
    }

    // The message about a picture that could not be written is read before the next dialog
    // asks for the text file (it used to wait behind that dialog). A name typed without an
    // extension gets the filter's, before the dialog asks whether to replace that file. A save
    // that failed used to move the dialogs to its folder (one of them hung listing /proc), and
    // left an earlier success in the status bar; it says why it failed.
    void saveDialogsComeInOrderAndAddExtensions() {
        QTemporaryDir dir;
        QuendraRC1 w;
        QVERIFY(showing(w, sample("molar-640x480.png")));
        QHash<QString, QString> typed{
            {QStringLiteral("Aktuelles Bild speichern..."), QStringLiteral("bild.unbekannt")},
            {QStringLiteral("Erkennungsdaten speichern..."), QStringLiteral("daten")},
            {QStringLiteral("FarbklassenLUT speichern..."), QStringLiteral("klassen")}};
        dialogs.answer = [&](QDialog* d) {
            if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(dir.filePath(typed[d->windowTitle()]));
            const auto* box = qobject_cast<QMessageBox*>(d);
            QAbstractButton* replace = box ? box->button(QMessageBox::Yes) : nullptr;
            replace ? replace->click() : d->accept();
        };
        QTest::mouseClick(w.saveViewButton(), Qt::LeftButton);
        QCOMPARE(dialogs.seen,
                 (QStringList{QStringLiteral("Aktuelles Bild speichern..."),
                              QStringLiteral("Das Bild \"%1\" konnte nicht gespeichert werden.")
                                  .arg(dir.filePath(QStringLiteral("bild.unbekannt"))),
                              QStringLiteral("Erkennungsdaten speichern...")}));
        QCOMPARE(status(w), QStringLiteral("Bild nicht gespeichert (%1): Die Endung \"unbekannt\" "
                                           "nennt kein Bildformat (PNG, JPEG, BMP, TIFF). "
                                           "Erkennungsdaten gespeichert: leer, kein Ergebnis (%2).")
                                .arg(dir.filePath(QStringLiteral("bild.unbekannt")),
                                     dir.filePath(QStringLiteral("daten.txt"))));
        dialogs.seen.clear();
        typed[QStringLiteral("Aktuelles Bild speichern...")] = QStringLiteral("ansicht");
        QTest::mouseClick(w.saveViewButton(), Qt::LeftButton);
        QCOMPARE(dialogs.seen.last(), QStringLiteral("Die Datei daten.txt existiert bereits.\n"
                                                     "Soll sie überschrieben werden?"));
        QCOMPARE(status(w), QStringLiteral("Bild und Erkennungsdaten gespeichert: leer, kein "
                                           "Ergebnis (%1, %2).")
                                .arg(dir.filePath(QStringLiteral("ansicht.png")),
                                     dir.filePath(QStringLiteral("daten.txt"))));
        // Saves that fail leave the dialogs in the folder of the files saved last.
        typed[QStringLiteral("Aktuelles Bild speichern...")] = QStringLiteral("fehlt/ansicht");
        typed[QStringLiteral("Erkennungsdaten speichern...")] = QStringLiteral("fehlt/daten");
        QTest::mouseClick(w.saveViewButton(), Qt::LeftButton);
        QCOMPARE(WindowSettings().folder(), dir.path());
        QCOMPARE(status(w), QStringLiteral("Erkennungsdaten nicht gespeichert (%1): Ordner nicht "
                                           "gefunden.")
                                .arg(dir.filePath(QStringLiteral("fehlt/daten.txt"))));
        named(&w, "configLUT")->trigger();
        drag(w.view(), QPoint(200, 240), QPoint(220, 260));
        named(&w, "saveLUT")->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{"ansicht.png", "daten.txt", "klassen.dat"}));
    }

    // Saving while a video plays wrote the picture of one frame and the recognition data of a
    // later one, and the video played on behind the dialogs. The pair on screen when the command
    // comes is saved, however long the dialogs stay open, and is what the window shows for that
    // frame when it stands still; the video plays on afterwards.
    void savingWhileAVideoPlaysSavesTheFrameOnScreen() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("wandernd.avi"));
        {
            const cv::Mat scene = quendra::renderScene(quendra::sampleScenes().front());
            cv::VideoWriter writer(local(video), cv::CAP_FFMPEG,
                                   cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25, scene.size());
            QVERIFY(writer.isOpened());
            for (int i = 0; i < 25; ++i) {  // the tooth moves 4 pixels to the right a frame
                const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, 4 * i, 0, 1, 0);
                cv::Mat moved;
                cv::warpAffine(scene, moved, shift, scene.size(), cv::INTER_NEAREST,
                               cv::BORDER_REPLICATE);
                writer.write(moved);
            }
        }
        QuendraRC1 w;
        w.show();
        QVERIFY(w.openVideoFile(video));
        QVERIFY(w.loadClassesFile(sample("classes.dat")));
        QVERIFY(w.model()->hasResults());
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy frames(w.model(), &CalculationModel::frameProcessed);
        QTest::keyClick(&w, Qt::Key_Space);
        while (frames.size() < 3) QVERIFY(frames.wait());

        QStringList typed{dir.filePath(QStringLiteral("bild.png")),
                          dir.filePath(QStringLiteral("daten.txt"))};
        QList<int> positions;
        dialogs.answer = [&](QDialog* d) {
            QTest::qWait(300);  // the operator types a name: a video plays seven frames on
            positions << w.videoPanel()->slider()->value();
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed.takeFirst());
            d->accept();
        };
        const int onScreen = w.videoPanel()->slider()->value();
        QTest::mouseClick(w.saveViewButton(), Qt::LeftButton);  // saves before it returns
        QCOMPARE(positions, (QList<int>{onScreen, onScreen}));
        frames.clear();
        QVERIFY(frames.wait());  // playing on
        QTest::keyClick(&w, Qt::Key_Space);

        w.videoPanel()->slider()->setValue(onScreen);
        QVERIFY(w.saveImageFile(dir.filePath(QStringLiteral("still.png"))));
        QVERIFY(w.saveRecognitionFile(dir.filePath(QStringLiteral("still.txt"))));
        const auto bytes = [&](const char* name) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QVERIFY(bytes("still.txt").startsWith("Zahn\n"));
        QCOMPARE(bytes("daten.txt"), bytes("still.txt"));
        QCOMPARE(bytes("bild.png"), bytes("still.png"));
    }

    void savedPictureAndTextAreWhatIsShown() {
        QTemporaryDir dir;
        QuendraRC1 w;
        QVERIFY(showing(w, sample("molar-640x480.png")));
        const QString text = dir.filePath(QStringLiteral("daten.txt"));
        QVERIFY(w.saveRecognitionFile(text));
        QCOMPARE(QFileInfo(text).size(), 0);  // no results yet
        QVERIFY(w.loadClassesFile(sample("classes.dat")));

        const QString picture = dir.filePath(QStringLiteral("Ansicht ü"));  // no extension: PNG
        QVERIFY(w.saveImageFile(picture));
        QCOMPARE(status(w), QStringLiteral("Bild gespeichert (%1).").arg(picture));
        const QImage shown = paintedView(w.view()).convertToFormat(QImage::Format_RGB888);
        const QImage saved = QImage(picture, "PNG").convertToFormat(QImage::Format_RGB888);
        QCOMPARE(saved, shown);

        QVERIFY(w.saveRecognitionFile(text));
        QFile file(text);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("Zahn\n\nTyp: UK-Molar\nGroesse: "));
        QCOMPARE(bytes.count("Kanal "), 3);
        QCOMPARE(status(w),
                 QStringLiteral("Erkennungsdaten gespeichert: Zahn und 3 Kanäle (%1).").arg(text));
        QVERIFY(!w.saveRecognitionFile(dir.filePath(QStringLiteral("kein/ordner.txt"))));
    }

    // Qt's standard keys open a picture, save the view and quit; while a video is open, space
    // plays and pauses and the arrows step, but a focused setting slider keeps the arrows.
    void keysGiveTheirCommands() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("zwölf.avi"));
        QVERIFY(writeIndexedVideo(local(video), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 12));
        QuendraRC1 w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(named(&w, "openImage")->toolTip(), QStringLiteral("Bild öffnen (Strg+O)"));
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs.seen, QStringList{QStringLiteral("Bild öffnen...")});
        QSignalSpy quit(named(&w, "actionBeenden"), &QAction::triggered);
        QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);

        QVERIFY(w.openVideoFile(video));
        QSignalSpy saved(w.saveViewButton(), &QPushButton::clicked);
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(saved.wait());
        QCOMPARE(dialogs.seen.mid(1),
                 (QStringList{QStringLiteral("Aktuelles Bild speichern..."),
                              QStringLiteral("Erkennungsdaten speichern...")}));
        const auto shown = [&] { return frameIndexOf(w.model()->getImage()); };
        QTest::keyClick(&w, Qt::Key_Right);
        QCOMPARE(shown(), 1);
        QTest::keyClick(&w, Qt::Key_Left);
        QTest::keyClick(&w, Qt::Key_Left);
        QCOMPARE(shown(), 11);
        QSignalSpy frames(w.model(), &CalculationModel::frameProcessed);
        QTest::keyClick(&w, Qt::Key_Space);
        QVERIFY(frames.wait());  // played on by the video's own timer
        QTest::keyClick(&w, Qt::Key_Space);
        const int paused = shown();
        QSlider* threshold = w.thresholds()->findChildren<QSlider*>().front();
        threshold->setFocus();
        QTest::keyClick(threshold, Qt::Key_Right);
        QCOMPARE(threshold->value(), 71);
        QCOMPARE(shown(), paused);
    }

    // Qt's own dialogs speak the program's German; the video dialog offers mp4, as the command
    // line opens it.
    // The sizes and dates they list too, on a system whose language is not German (main() below
    // starts this test as C.UTF-8): they were "3.82 MiB" and "7 Dec".
    void fileDialogsSpeakGerman() {
        QTemporaryDir dir;
        QFile film(dir.filePath(QStringLiteral("film.avi")));
        QVERIFY(film.open(QIODevice::WriteOnly) && film.resize(4'005'000));
        film.close();
        const QLocale german(QLocale::German, QLocale::Germany);
        QuendraRC1 w;
        w.show();
        QStringList buttons, filters, listed;
        dialogs.answer = [&](QDialog* d) {
            for (const QPushButton* b : d->findChildren<QPushButton*>()) buttons << b->text();
            auto* files = static_cast<QFileDialog*>(d);
            filters = files->nameFilters();
            files->setDirectory(dir.path());
            auto* model = d->findChild<QFileSystemModel*>();
            QTRY_VERIFY(model->index(film.fileName()).isValid() &&
                        model->fileInfo(model->index(film.fileName())).size() > 0);
            const QModelIndex row = model->index(film.fileName());
            for (const int column : {1, 3}) listed << row.siblingAtColumn(column).data().toString();
            d->reject();
        };
        named(&w, "openVideo")->trigger();
        QCOMPARE(dialogs.seen, QStringList{QStringLiteral("Video öffnen...")});
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("&Öffnen"), QStringLiteral("Abbrechen")}));
        QCOMPARE(filters,
                 QStringList{QStringLiteral("Videodateien (*.avi *.mov *.mpg *.wmv *.mp4)")});
        QCOMPARE(listed, (QStringList{QStringLiteral("3,82 MiB"),
                                      german.toString(QFileInfo(film.fileName()).lastModified(),
                                                      QLocale::ShortFormat)}));
    }

    // Every odd file is shown or refused by its name; a refused one leaves the source before it
    // on screen, or, as the first source, the commands that need one off.
    void oddFilesAreShownOrRefusedByName() {
        QTemporaryDir dir;
        const auto inputs = makeBadPictures(local(dir.path()));
        QuendraRC1 w;
        w.show();
        const QString bad = dir.filePath(QStringLiteral("Zähne kaputt.png"));
        writeText(local(bad), "not a picture");
        QVERIFY(!w.openImageFile(bad));
        QVERIFY(w.lastMessage().contains(QStringLiteral("Zähne kaputt.png")));
        QVERIFY(!named(&w, "configLUT")->isEnabled());
        // A file too large to be read has no picture size to tell (it was "0 × 0 Bildpunkte").
        const QString huge = dir.filePath(QStringLiteral("riesig.png"));
        writeText(local(huge), "");
        std::filesystem::resize_file(local(huge), quendra::kMaxPictureFileBytes + 1);
        QVERIFY(!w.openImageFile(huge));
        QVERIFY2(w.lastMessage().endsWith(QStringLiteral("bis 1024 MiB geöffnet.")),
                 qPrintable(w.lastMessage()));
        // The same message for all of them; the status bar says why.
        const QString unreadable = QStringLiteral("Kein Bild in einem lesbaren Format");
        const QHash<QString, QString> reasons{
            {QStringLiteral("fehlt.png"), QStringLiteral("Datei nicht gefunden")},
            {QStringLiteral("leer.png"), QStringLiteral("Die Datei ist leer")},
            {QStringLiteral("text.png"), unreadable},
            {QStringLiteral("halb.png"), unreadable}};
        for (const BadInput& b : inputs) {
            const QString path = QFile::decodeName(b.path.string().c_str());
            QVERIFY(w.openImageFile(sample("front-640x480.png")));
            const bool opened = w.openFile(path);
            QCOMPARE(opened, b.readable);
            if (!opened) {
                QVERIFY2(w.lastMessage().contains(QFileInfo(path).fileName()), qPrintable(path));
                const QString why = reasons.value(QFileInfo(path).fileName());
                QVERIFY2(status(w).contains(why), qPrintable(status(w)));
                QCOMPARE(w.model()->getImage().size(), cv::Size(640, 480));
            } else {
                QCOMPARE(w.model()->getImage().type(), CV_8UC3);
            }
        }
        // A video whose last frames are broken plays through; the last good frame stays shown.
        const auto broken = makeVideoWithBrokenTail(local(dir.path()), 20, 0.6);
        QVERIFY(w.openVideoFile(QFile::decodeName(broken.string().c_str())));
        QAbstractButton* next = buttonShowing(w.videoPanel(), QStringLiteral("|>"));
        for (int i = 0; i < 45; ++i) next->click();
        QCOMPARE(w.model()->getImage().size(), cv::Size(64, 48));
        QCOMPARE(w.view()->shownPicture().size(), cv::Size(64, 48));
    }

    // A damaged video opened as the frames its header promised, and a frame that could not be
    // read left the picture before on screen without a word: both are told, and the next step
    // goes on past the frame. (Where a cut video ends is
    // SourcesTest::damagedVideosEndWhereReadingEnds.)
    void damagedVideosAreToldInTheStatusBar() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("beschädigt.avi"));
        const QString broken = dir.filePath(QStringLiteral("kaputt.avi"));
        for (const QString& name : {video, broken}) {
            const std::string file = local(name);
            QVERIFY(writeIndexedVideo(file, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20));
            QVERIFY(name == video ? cutVideoBeforeFrame(file, 13) : breakVideoFrame(file, 4));
        }
        QuendraRC1 w;
        w.show();
        QVERIFY(w.openVideoFile(video));
        QCOMPARE(status(w), QStringLiteral("Video \"beschädigt.avi\" geöffnet: 160 × 120 "
                                           "Bildpunkte, 13 Bilder, 25 Bilder/s. Die Datei gibt 20 "
                                           "Bilder an, lesbar sind nur die ersten 13 (beschädigt "
                                           "oder abgeschnitten)."));
        QVERIFY(w.openVideoFile(broken));
        w.videoPanel()->slider()->setValue(3);
        QAbstractButton* next = buttonShowing(w.videoPanel(), QStringLiteral("|>"));
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(status(w), QStringLiteral("Bild 4 des Videos kann nicht gelesen werden; zu sehen "
                                           "ist weiter Bild 3."));
        QCOMPARE(frameIndexOf(w.model()->getImage()), 3);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(frameIndexOf(w.model()->getImage()), 5);
    }

    // Nothing survived a restart: the panels' settings, the folder of the file opened last (as
    // from the command line) and the class file are kept from one window to the next, until
    // "Einstellungen zurücksetzen".
    void settingsAreKeptUntilReset() {
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("zahn.png"));
        QVERIFY(QFile::copy(sample("molar-640x480.png"), picture));
        {
            QuendraRC1 w;
            QVERIFY(w.openImageFile(picture));
            QVERIFY(w.loadClassesFile(sample("classes.dat")));
            w.thresholds()->findChildren<QSlider*>().front()->setValue(90);
            w.thresholds()->findChild<QSpinBox*>()->setValue(20);
            buttonShowing<QCheckBox>(w.thresholds(), QStringLiteral("alle Zähne"))
                ->setChecked(true);
            buttonShowing<QCheckBox>(w.picker(), QStringLiteral("automatisch"))->setChecked(true);
        }
        QuendraRC1 w;
        w.show();
        const auto kept = [&] {
            const quendra::AnalysisSettings& s = w.model()->settings();
            return s.threshold == 90 && s.minCanalArea == 20 && s.autoClassThreshold &&
                   s.teeth == quendra::TeethChoice::All && w.model()->areClassesLoaded();
        };
        QVERIFY(kept());
        QVERIFY(labelShowing(w.thresholds(), "90"));
        QString folder;
        dialogs.answer = [&](QDialog* d) {
            folder = static_cast<QFileDialog*>(d)->directory().absolutePath();
            d->reject();
        };
        named(&w, "openImage")->trigger();
        QCOMPARE(folder, QDir(dir.path()).absolutePath());

        named(&w, "resetSettings")->trigger();
        QCOMPARE(w.model()->getThreshold(), 70);
        QVERIFY(labelShowing(w.thresholds(), "70"));
        QuendraRC1 fresh;
        QCOMPARE(fresh.model()->settings().threshold, 70);
        QVERIFY(!fresh.model()->settings().autoClassThreshold);
        QVERIFY(!fresh.model()->areClassesLoaded());
        named(&fresh, "openImage")->trigger();
        QCOMPARE(folder, QDir::homePath());
    }

    // Each setting's control shows the label declared for it and beside it takes the range
    // declared for the window (SettingDeclarations.h), as the batch analyser takes its own.
    void controlsTakeTheDeclaredRanges() {
        QuendraRC1 w;
        for (const quendra::SettingDeclaration* setting :
             {&quendra::kThresholdSetting, &quendra::kBorderSetting, &quendra::kFilterSetting,
              &quendra::kMinCanalAreaSetting, &quendra::kClassThresholdSetting}) {
            QWidget* panel = setting == &quendra::kClassThresholdSetting
                                 ? static_cast<QWidget*>(w.picker())
                                 : static_cast<QWidget*>(w.thresholds());
            auto* grid = static_cast<QGridLayout*>(panel->layout());
            QLabel* label = labelShowing(panel, declaredText(setting->control->label));
            QVERIFY2(label, setting->name.data());
            int row = 0, column = 0, rows = 0, columns = 0;
            grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
            QWidget* control = grid->itemAtPosition(row, column + 1)->widget();
            const quendra::SettingRange range = setting->controlRange();
            const auto* slider = qobject_cast<QSlider*>(control);
            const auto* box = qobject_cast<QSpinBox*>(control);
            QVERIFY2(slider || box, setting->name.data());
            QCOMPARE(slider ? slider->minimum() : box->minimum(), static_cast<int>(range.lowest));
            QCOMPARE(slider ? slider->maximum() : box->maximum(), static_cast<int>(range.highest));
        }
    }

    // "49 Bilder übersprungen" stayed in the status bar through later playbacks that skipped
    // nothing; it is told until playback starts again.
    void skippedFramesAreToldUntilPlaybackStartsAgain() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("film.avi"));
        QVERIFY(writeIndexedVideo(video.toStdString(), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                                  12));
        QuendraRC1 w;
        w.show();
        QVERIFY(w.openVideoFile(video));
        QAbstractButton* play = buttonShowing(w.videoPanel(), QStringLiteral(">/||"));
        play->click();
        emit w.video()->framesSkipped(49);
        play->click();
        QVERIFY(status(w).contains(QStringLiteral("49 Bilder übersprungen")));  // paused: kept
        play->click();
        QCOMPARE(status(w), QString());
        play->click();
    }

    // Trained colours went with the window without a word. While picks are unsaved, closing
    // the window and "Beenden" ask: cancelling, or cancelling the save dialog, keeps the window;
    // saving or discarding lets it go. With nothing picked, or all saved, nothing is asked.
    void unsavedPicksAreAskedForOnQuit() {
        QTemporaryDir dir;
        QuendraRC1 w;
        QVERIFY(!configuringOnMolar(w).empty());
        QVERIFY(w.close());
        w.show();
        drag(w.view(), QPoint(200, 240), QPoint(220, 260));
        QList<QMessageBox::StandardButton> answers{QMessageBox::Cancel, QMessageBox::Save,
                                                   QMessageBox::Save, QMessageBox::Discard};
        QStringList names{QString(), dir.filePath(QStringLiteral("klassen.dat"))};
        dialogs.answer = [&](QDialog* d) {
            if (auto* box = qobject_cast<QMessageBox*>(d))
                return box->button(answers.takeFirst())->click();
            const QString name = names.takeFirst();
            if (name.isEmpty()) return d->reject();
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            d->accept();
        };
        QVERIFY(!w.close());
        QVERIFY(!w.close());
        QVERIFY(w.close());
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("klassen.dat"))));
        w.show();
        QVERIFY(w.close());
        w.show();
        drag(w.view(), QPoint(300, 100), QPoint(320, 120));
        QTimer::singleShot(0, named(&w, "actionBeenden"), &QAction::trigger);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!w.isVisible());
        const QString asked = dialogs.seen.value(0);
        QVERIFY2(asked.contains(QStringLiteral("vor dem Beenden")), qPrintable(asked));
        QCOMPARE(dialogs.seen,
                 (QStringList{asked, asked, QStringLiteral("FarbklassenLUT speichern..."), asked,
                              QStringLiteral("FarbklassenLUT speichern..."), asked}));
    }

    // A class file that cannot be used leaves the classes in use; an empty one used to be
    // taken as loaded, and a save with nothing picked used to empty a trained file. A preview
    // with nothing picked did nothing visible; it says so.
    void classFileFailuresAreShownAndChangeNothing() {
        QTemporaryDir dir;
        QuendraRC1 w;
        QVERIFY(showing(w, sample("molar-640x480.png")));
        QVERIFY(w.loadClassesFile(sample("classes.dat")));
        QVERIFY(w.model()->hasResults());
        // A class of fewer colours than the vote needs is never found: loaded, with a hint.
        std::string few;
        for (char i = 0; i < 9; ++i) few += std::string{char(40 + i), 50, 60, char(i < 2 ? 1 : 2)};
        writeText(local(dir.filePath(QStringLiteral("wenig.dat"))), few);
        QVERIFY(w.loadClassesFile(dir.filePath(QStringLiteral("wenig.dat"))));
        QCOMPARE(status(w), QStringLiteral("Farbklassen geladen: 2 Farben Zahnschmelz, 7 Farben "
                                           "Zahnfleisch (wenig.dat). Zahnschmelz hat nur 2 Farben "
                                           "und wird nie gefunden: die Abstimmung braucht 6; "
                                           "trainieren Sie mehr Farben (ein größeres Rechteck)."));
        QVERIFY(w.loadClassesFile(sample("classes.dat")));
        // Any other file used to replace the classes with its bytes taken as colours.
        const auto loaded = w.model()->loadedClassCounts();
        const std::pair<const char*, std::string> files[] = {
            {"leer.dat", ""},
            {"text.dat", "hello world\n"},
            {"kurz.dat", {"\x10\x20\x30\x01\x10\x20\x30", 7}}};
        for (const auto& [name, bytes] : files)
            writeText(local(dir.filePath(QString::fromLatin1(name))), bytes);
        const std::pair<const char*, const char*> refused[] = {
            {"fehlt.dat", "konnte nicht geöffnet werden."},
            {"leer.dat", "enthält keine Farbklassen."},
            {"text.dat", "ist keine Farbklassendatei: Eintrag 1 hat die Klasse 108"},
            {"kurz.dat", "ist keine Farbklassendatei: Eintrag 2 hat nur 3 von 4 Bytes"}};
        for (const auto& [name, why] : refused) {
            QVERIFY(!w.loadClassesFile(dir.filePath(QString::fromLatin1(name))));
            QVERIFY2(w.lastMessage().contains(QString::fromLatin1(name) + "\" " +
                                              QString::fromUtf8(why)),
                     qPrintable(w.lastMessage()));
            if (name != std::string_view("fehlt.dat"))
                QVERIFY(w.lastMessage().endsWith(QStringLiteral(" bleiben geladen.")));
            QVERIFY(w.model()->loadedClassCounts() == loaded);
            QVERIFY(w.model()->hasResults());
        }

        QVERIFY(!w.saveClassesFile(dir.filePath(QStringLiteral("kein/ordner.dat"))));
        QVERIFY(w.lastMessage().contains(QStringLiteral("ordner.dat")));
        const QString trained = dir.filePath(QStringLiteral("trainiert.dat"));
        QVERIFY(QFile::copy(sample("classes.dat"), trained));
        named(&w, "configLUT")->trigger();  // nothing picked yet: the preview says so
        buttonShowing(w.picker(), QStringLiteral("Vorschau"))->click();
        QVERIFY2(status(w).contains(QStringLiteral("noch keine Farben")), qPrintable(status(w)));
        QVERIFY(!w.saveClassesFile(trained));
        QVERIFY(w.lastMessage().contains(QStringLiteral("noch keine Farbe")));
        QCOMPARE(QFileInfo(trained).size(), QFileInfo(sample("classes.dat")).size());
    }
};

// Started as on a system whose language is not German, with the formats set before the
// application exists, as the program's main() does.
int main(int argc, char** argv) {
    qputenv("LANG", "C.UTF-8");
    for (const char* name : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LC_MESSAGES"}) qunsetenv(name);
    useGermanFormats();
    QApplication app(argc, argv);
    WindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "WindowTest.moc"
