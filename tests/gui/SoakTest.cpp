#include <QTemporaryDir>
#include <QTest>
#include <opencv2/videoio.hpp>

#include "ResidentMemory.h"
#include "SampleScene.h"
#include "TestSettings.h"
#include "WidgetLookup.h"
#include "app/QuendraRC1.h"
#include "model/CalculationModel.h"
#include "panels/VideoController.h"

// A shift's worth of frames through the whole chain (video source, analysis, view): resident
// memory must stay flat once warmed up.
class SoakTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { useFreshTestSettings(); }

    void fiveThousandAnalysedFramesKeepMemoryFlat() {
        QTemporaryDir dir;
        const QString video = dir.filePath(QStringLiteral("schleife.avi"));
        const quendra::SampleScene scene = quendra::sampleScenes().front();
        const cv::Mat picture = quendra::renderScene(scene);
        {
            cv::VideoWriter writer(video.toStdString(), cv::CAP_FFMPEG,
                                   cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25, picture.size());
            QVERIFY(writer.isOpened());
            for (int i = 0; i < 24; ++i) writer.write(picture);
        }
        QuendraRC1 w;
        w.show();
        QVERIFY(w.openVideoFile(video));
        QVERIFY(w.loadClassesFile(QStringLiteral(QUENDRA_SAMPLE_DIR "/classes.dat")));
        QAbstractButton* next = buttonShowing(w.videoPanel(), QStringLiteral("|>"));
        QVERIFY(next);
        long long warm = 0;
        for (int step = 0; step < 5000; ++step) {
            next->click();
            if (step % 50 == 0) QCoreApplication::processEvents();  // paint now and then
            if (step == 500) warm = residentBytes();
        }
        QVERIFY(w.model()->hasResults());
        const long long end = residentBytes();
        QVERIFY2(end <= warm + warm / 20,
                 qPrintable(QStringLiteral("%1 -> %2 bytes").arg(warm).arg(end)));
    }
};

QTEST_MAIN(SoakTest)
#include "SoakTest.moc"
