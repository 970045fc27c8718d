#include "browser/PreviewLoader.h"
#include "support/UiTestSupport.h"

#include <QSignalSpy>
#include <QTest>

using namespace varnetto;
using namespace varnetto::testing;

class PreviewLoaderTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // While one preview is drawn, only the newest request waits; the box
    // ends up showing the picture that was asked for last.
    void newestWaitingRequestWins() {
        TempDir dir;
        for (const char* name : {"a.png", "b.png", "c.png"})
            writePicture(dir.path() / name, 800, 600);
        PreviewLoader loader;
        QSignalSpy ready(&loader, &PreviewLoader::previewReady);
        const QSize box(400, 300);
        loader.request(QString::fromStdString(dir.str("a.png")), box);
        loader.request(QString::fromStdString(dir.str("b.png")), box);
        loader.request(QString::fromStdString(dir.str("c.png")), box);
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 2, 10000);
        QTest::qWait(200);
        QCOMPARE(ready.size(), 2);
        QCOMPARE(ready[0][0].toString(), QString::fromStdString(dir.str("a.png")));
        QCOMPARE(ready[1][0].toString(), QString::fromStdString(dir.str("c.png")));
        const QImage shown = ready[1][1].value<QImage>();
        QVERIFY(shown.width() <= box.width() && shown.height() <= box.height());
        QVERIFY(!loader.busy());
    }

    void missingAndBrokenFilesAreToldApart() {
        TempDir dir;
        writeBytes(dir.path() / "bad.jpg", "not a jpeg");
        PreviewLoader loader;
        QSignalSpy missing(&loader, &PreviewLoader::previewMissing);
        QSignalSpy failed(&loader, &PreviewLoader::previewFailed);
        loader.request(QString::fromStdString(dir.str("gone.jpg")), {200, 150});
        QTRY_COMPARE_WITH_TIMEOUT(missing.size(), 1, 10000);
        loader.request(QString::fromStdString(dir.str("bad.jpg")), {200, 150});
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
        QVERIFY(failed[0][1].toString().contains("bad.jpg"));
    }
};

VARNETTO_QTEST_MAIN(PreviewLoaderTest)
#include "PreviewLoaderTest.moc"
