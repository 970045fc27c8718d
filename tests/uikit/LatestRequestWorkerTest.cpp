#include "support/UiTestSupport.h"
#include "uikit/LatestRequestWorker.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace varnetto;
using Completion = LatestRequestWorker::Completion;

namespace {

// Holds a job on the worker thread until the test lets it go.
struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> entered{false};
    void pass() {
        entered = true;
        while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
};

}  // namespace

class LatestRequestWorkerTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The first job starts at once; of those submitted meanwhile only the
    // newest runs, and the running job learns it has been superseded.
    void onlyTheNewestWaitingJobRuns() {
        LatestRequestWorker worker("test");
        Gate gate;
        QStringList finished;
        bool firstSawSuperseded = false;
        worker.submit([&](const std::atomic<bool>& superseded) -> Completion {
            gate.pass();
            const bool seen = superseded;
            return [&, seen] {
                firstSawSuperseded = seen;
                finished << "first";
            };
        });
        for (const char* name : {"second", "third", "fourth"}) {
            const QString label = name;
            worker.submit([&, label](const std::atomic<bool>&) -> Completion {
                return [&, label] { finished << label; };
            });
        }
        QVERIFY(worker.busy());
        QSignalSpy idle(&worker, &LatestRequestWorker::idle);
        gate.open = true;
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        QCOMPARE(finished, (QStringList{"first", "fourth"}));
        QVERIFY(firstSawSuperseded);
        QVERIFY(!worker.busy());
    }

    // A worker destroyed while its job runs waits for the job, tells it it
    // is superseded, and never runs its completion.
    void destroyedWorkerDropsTheRunningResult() {
        Gate gate;
        auto sawSuperseded = std::make_shared<std::atomic<bool>>(false);
        bool completed = false;
        auto worker = std::make_unique<LatestRequestWorker>("test");
        worker->submit([&, sawSuperseded](const std::atomic<bool>& superseded) -> Completion {
            gate.pass();
            while (!superseded) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            *sawSuperseded = true;
            return [&] { completed = true; };
        });
        QTRY_VERIFY_WITH_TIMEOUT(gate.entered.load(), 5000);
        gate.open = true;
        worker.reset();
        QVERIFY(sawSuperseded->load());
        QTest::qWait(50);
        QVERIFY(!completed);
    }

    // A job that throws still ends, and the next one runs.
    void throwingJobStillEnds() {
        LatestRequestWorker worker("test");
        QSignalSpy idle(&worker, &LatestRequestWorker::idle);
        worker.submit(
            [](const std::atomic<bool>&) -> Completion { throw std::runtime_error("broken"); });
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        bool ran = false;
        worker.submit([&](const std::atomic<bool>&) -> Completion { return [&] { ran = true; }; });
        QTRY_VERIFY_WITH_TIMEOUT(ran, 5000);
        QVERIFY(!worker.busy());
    }
};

VARNETTO_QTEST_MAIN(LatestRequestWorkerTest)
#include "LatestRequestWorkerTest.moc"
