#include "support/UiTestSupport.h"
#include "uikit/SchemePreviewService.h"

#include <QSignalSpy>
#include <QThread>
#include <QWidget>

#include <memory>

using namespace varnetto;
using namespace varnetto::testing;

class SchemePreviewServiceTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // A missing stamp and a lost border piece leave the renders going and are
    // named once per window, by the window's own thread, however many
    // renders of that window meet them; another window names them again.
    void decorationsLeftOutAreNamedOncePerWindow() {
        TempDir dir;
        const std::string picture = dir.str("picture.png");
        writePicture(picture, 400, 300);
        Scheme scheme;
        scheme.stampEnabled = 1;
        scheme.stampKind = stored(DecorationKind::Custom);
        scheme.stampPath = dir.str("gone-stamp.png");
        scheme.borderEnabled = 1;
        scheme.borderKind = stored(DecorationKind::Custom);
        for (int i = 0; i < 7; ++i) {
            scheme.borderPieceFiles[size_t(i)] = dir.str("piece" + std::to_string(i) + ".png");
            writePicture(scheme.borderPieceFiles[size_t(i)], 12, 12);
        }
        scheme.borderPieceFiles[7] = dir.str("gone-piece.png");

        RecordingDialogs dialogs;
        bool offTheWindowsThread = false;
        dialogs.onMessage = [&](const QString&) {
            offTheWindowsThread |= QThread::currentThread() != qApp->thread();
        };
        const auto cache = std::make_shared<PreviewCache>();
        QWidget first;
        QWidget second;
        SchemePreviewService firstWindow(dialogs, &first, dir.str(), cache);
        SchemePreviewService secondWindow(dialogs, &second, dir.str(), cache);
        BackgroundJobs firstJobs(JobOrder::AllInOrder, 2);
        BackgroundJobs secondJobs(JobOrder::AllInOrder);
        QSignalSpy firstIdle(&firstJobs, &BackgroundJobs::idle);
        QSignalSpy secondIdle(&secondJobs, &BackgroundJobs::idle);

        PreviewRequest boxed;
        boxed.sourcePath = picture;
        boxed.scheme = scheme;
        boxed.boxWidth = 220;
        boxed.boxHeight = 165;
        PreviewRequest whole = boxed;
        whole.boxWidth = whole.boxHeight = 0;
        int drawn = 0;
        const auto count = [&](const ShownPreview& shown) {
            if (shown.drawn() && (!shown.picture.isNull() || shown.whole.width() > 0)) ++drawn;
        };
        for (const PreviewRequest& request : {boxed, whole, boxed})
            firstWindow.render(firstJobs, request, count);
        QTRY_COMPARE_WITH_TIMEOUT(firstIdle.size(), 1, 20000);
        const QStringList once{
            QString("边框图像 %1 不存在。").arg(QString::fromStdString(scheme.borderPieceFiles[7])),
            QString("印章图像 %1 不存在。").arg(QString::fromStdString(scheme.stampPath))};
        QCOMPARE(dialogs.messages, once);

        secondWindow.render(secondJobs, boxed, count);
        QTRY_COMPARE_WITH_TIMEOUT(secondIdle.size(), 1, 20000);
        QCOMPARE(dialogs.messages, once + once);
        QCOMPARE(drawn, 4);
        QVERIFY(!offTheWindowsThread);
    }

    // A box is sized in the window's units; its picture holds the pixels the
    // screen shows there (run again at scale factor 2 by the test list).
    void boxesAreFilledAtTheWindowsDensity() {
        TempDir dir;
        const std::string picture = dir.str("picture.png");
        writePicture(picture, 1600, 1200);
        RecordingDialogs dialogs;
        QWidget window;
        SchemePreviewService service(dialogs, &window, dir.str());
        BackgroundJobs jobs(JobOrder::AllInOrder);
        PreviewRequest boxed;
        boxed.sourcePath = picture;
        boxed.boxWidth = 220;
        boxed.boxHeight = 165;
        ShownPreview shown;
        service.render(jobs, boxed, [&](const ShownPreview& preview) { shown = preview; });
        QTRY_VERIFY_WITH_TIMEOUT(!shown.picture.isNull(), 20000);
        const qreal density = window.devicePixelRatioF();
        QCOMPARE(shown.picture.size(), QSize(220, 165) * density);
        QCOMPARE(shown.picture.deviceIndependentSize(), QSizeF(220, 165));
    }
};

VARNETTO_QTEST_MAIN(SchemePreviewServiceTest)
#include "SchemePreviewServiceTest.moc"
