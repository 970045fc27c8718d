#include "support/UiTestSupport.h"
#include "uikit/UiReporter.h"

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
};

VARNETTO_QTEST_MAIN(UiReporterTest)
#include "UiReporterTest.moc"
