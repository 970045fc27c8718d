#include "app/BatchDialog.h"
#include "app/UiReporter.h"
#include "app/UiTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <thread>

using namespace varnetto;
using namespace varnetto::testing;

class UiReporterTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void workerWaitsUntilTheMessageIsDismissed() {
        RecordingDialogs dialogs;
        QWidget owner;
        UiReporter reporter(dialogs, &owner);
        std::atomic<bool> workerReturned{false};
        bool shownOnUiThread = false;
        bool workerWaitedMeanwhile = false;
        dialogs.onMessage = [&](const QString&) {
            shownOnUiThread = QThread::currentThread() == qApp->thread();
            // The box is up: give the worker time to run on if it would.
            QThread::msleep(100);
            workerWaitedMeanwhile = !workerReturned;
        };
        std::thread worker([&] {
            reporter.message("印章图像 /x.bmp 不存在。", MessageKind::Stop);
            workerReturned = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(workerReturned.load(), 5000);
        worker.join();
        QCOMPARE(dialogs.messages, QStringList{"印章图像 /x.bmp 不存在。"});
        QVERIFY(shownOnUiThread);
        QVERIFY(workerWaitedMeanwhile);
    }

    void releasedWorkersStopWaiting() {
        RecordingDialogs dialogs;
        UiReporter reporter(dialogs, nullptr);
        reporter.releaseWaitingWorkers();
        // No event loop runs here, so only the release can end the wait.
        std::thread worker([&] { reporter.message("gone", MessageKind::Stop); });
        worker.join();
        QVERIFY(dialogs.messages.isEmpty());
    }

    void missingStampDuringABatchIsShownByTheUiThread() {
        TempDir app;
        RecordingDialogs dialogs;
        BatchDialog dialog(dialogs, app.str());
        const std::string in = app.str("in");
        std::filesystem::create_directories(in);
        writePicture(in + "/a.png", 40, 30);
        writePicture(in + "/b.png", 40, 30);
        BatchJob job;
        Scheme scheme;
        scheme.name = "Stamped";
        scheme.outputFolder = app.str("out");
        scheme.stampEnabled = 1;
        scheme.stampFile = "nowhere.bmp";
        job.scheme = scheme;
        job.outputFolder = scheme.outputFolder;
        job.sources = {in + "/a.png", in + "/b.png"};
        bool allOnUiThread = true;
        dialogs.onMessage = [&](const QString&) {
            allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
        };
        dialog.prepare("Stamped", 2, [job] { return job; });
        dialog.autoCloseBox()->setChecked(false);
        dialog.show();
        dialog.start();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusLabel()->text(), QString("处理完成。"), 30000);
        const QString expected =
            QString("印章图像 %1 不存在。")
                .arg(QString::fromStdString(app.str() + "/Stamps/nowhere.bmp"));
        QCOMPARE(dialogs.messages, (QStringList{expected, expected}));
        QVERIFY(allOnUiThread);
    }
};

VARNETTO_QTEST_MAIN(UiReporterTest)
#include "UiReporterTest.moc"
