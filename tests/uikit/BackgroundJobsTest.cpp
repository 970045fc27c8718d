#include "support/UiTestSupport.h"
#include "uikit/BackgroundJobs.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <latch>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace varnetto;
using Completion = BackgroundJobs::Completion;

namespace {

// Holds jobs on their pool threads until the test lets them go.
struct Gate {
    std::atomic<int> entered{0};
    std::atomic<bool> open{false};
    void pass() {
        ++entered;
        while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

}  // namespace

class BackgroundJobsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Of the jobs submitted while one runs only the newest runs; the running
    // one learns it is superseded and its result is dropped, unless the
    // owner shows every result it can.
    void newestWinsDropsTheOlderResults() {
        const struct {
            JobOrder order;
            QStringList delivered;
        } cases[] = {{JobOrder::NewestWins, {"fourth"}},
                     {JobOrder::NewestRunsNext, {"first", "fourth"}}};
        for (const auto& c : cases) {
            BackgroundJobs jobs(c.order);
            auto gate = std::make_shared<Gate>();
            auto sawSuperseded = std::make_shared<std::atomic<bool>>(false);
            QStringList delivered;
            jobs.submit([gate, sawSuperseded, &delivered](const JobToken& token) -> Completion {
                gate->pass();
                *sawSuperseded = token.superseded();
                return [&delivered] { delivered << "first"; };
            });
            QTRY_COMPARE_WITH_TIMEOUT(gate->entered.load(), 1, 5000);
            auto ran = std::make_shared<std::atomic<int>>(0);
            for (const char* name : {"second", "third", "fourth"}) {
                const QString label = name;
                jobs.submit([&delivered, label, ran](const JobToken&) -> Completion {
                    ++*ran;
                    return [&delivered, label] { delivered << label; };
                });
            }
            QVERIFY(jobs.busy());
            QSignalSpy idle(&jobs, &BackgroundJobs::idle);
            gate->open = true;
            QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
            QCOMPARE(delivered, c.delivered);
            QVERIFY(sawSuperseded->load());
            QCOMPARE(ran->load(), 1);
            QVERIFY(!jobs.busy());
        }
    }

    // Jobs that end in any order are delivered in the order submitted, and
    // a job that throws delivers its reason to its own failure handler.
    void allInOrderDeliversEveryResultInSubmissionOrder() {
        BackgroundJobs jobs(JobOrder::AllInOrder, 3);
        auto lastMayEnd = std::make_shared<std::latch>(1);
        QStringList delivered;
        for (int i = 0; i < 3; ++i) {
            jobs.submit(
                [i, lastMayEnd](const JobToken&) -> Completion {
                    // The first waits for the last: results arrive reversed.
                    if (i == 0) lastMayEnd->wait();
                    if (i == 1) throw std::runtime_error("图像 b.jpg 已损坏");
                    if (i == 2) lastMayEnd->count_down();
                    return {};
                },
                [&delivered, i](const QString& reason) {
                    delivered << QString("%1 %2").arg(i).arg(reason);
                });
            jobs.run<int>([i](const JobToken&) { return i * 10; },
                          [&delivered](int value) { delivered << QString::number(value); });
        }
        QSignalSpy idle(&jobs, &BackgroundJobs::idle);
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        QCOMPARE(delivered, (QStringList{"0", "1 图像 b.jpg 已损坏", "10", "20"}));
    }

    // Cancelling drops the waiting jobs unrun and the running one's result;
    // later jobs run as usual.
    void cancelDropsEverythingSubmittedBefore() {
        BackgroundJobs jobs(JobOrder::AllInOrder, 1);
        auto gate = std::make_shared<Gate>();
        auto sawCancel = std::make_shared<std::atomic<bool>>(false);
        auto ranAfterCancel = std::make_shared<std::atomic<int>>(0);
        QStringList delivered;
        jobs.submit([gate, sawCancel, &delivered](const JobToken& token) -> Completion {
            gate->pass();
            *sawCancel = token.cancelled();
            return [&delivered] { delivered << "running"; };
        });
        jobs.submit([ranAfterCancel, &delivered](const JobToken&) -> Completion {
            ++*ranAfterCancel;
            return [&delivered] { delivered << "waiting"; };
        });
        QTRY_COMPARE_WITH_TIMEOUT(gate->entered.load(), 1, 5000);
        jobs.cancelAll();
        gate->open = true;
        jobs.submit([&delivered](const JobToken&) -> Completion {
            return [&delivered] { delivered << "later"; };
        });
        QSignalSpy idle(&jobs, &BackgroundJobs::idle);
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        QCOMPARE(delivered, QStringList{"later"});
        QVERIFY(sawCancel->load());
        QCOMPARE(ranAfterCancel->load(), 0);
    }

    // Parts a job posts arrive at once, not held for an earlier job that is
    // still running; an interrupted job ends early and its result still
    // arrives, in its turn. Jobs submitted later are not interrupted.
    void partsArriveAtOnceAndInterruptedJobsStillDeliver() {
        BackgroundJobs jobs(JobOrder::AllInOrder, 2);
        auto gate = std::make_shared<Gate>();
        QStringList delivered;
        jobs.submit([gate, &delivered](const JobToken&) -> Completion {
            gate->pass();
            return [&delivered] { delivered << "slow"; };
        });
        jobs.submit([&delivered](const JobToken& token) -> Completion {
            token.post([&delivered] { delivered << "part 1"; });
            token.post([&delivered] { delivered << "part 2"; });
            while (!token.interrupted()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return [&delivered] { delivered << "interrupted"; };
        });
        QTRY_COMPARE_WITH_TIMEOUT(delivered, (QStringList{"part 1", "part 2"}), 5000);
        jobs.interruptAll();
        auto laterInterrupted = std::make_shared<std::atomic<bool>>(true);
        jobs.submit([laterInterrupted](const JobToken& token) -> Completion {
            *laterInterrupted = token.interrupted();
            return {};
        });
        QSignalSpy idle(&jobs, &BackgroundJobs::idle);
        gate->open = true;
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        QCOMPARE(delivered, (QStringList{"part 1", "part 2", "slow", "interrupted"}));
        QVERIFY(!laterInterrupted->load());
    }

    // A cancelled job stuck in the file system holds back no later result,
    // and a result that was waiting for it is dropped with it.
    void aStuckCancelledJobHoldsNothingBack() {
        BackgroundJobs jobs(JobOrder::AllInOrder, 2);
        auto gate = std::make_shared<Gate>();
        QStringList delivered;
        jobs.submit([gate, &delivered](const JobToken& token) -> Completion {
            gate->pass();
            token.post([&delivered] { delivered << "stuck part"; });
            return [&delivered] { delivered << "stuck"; };
        });
        jobs.submit([&delivered](const JobToken&) -> Completion {
            return [&delivered] { delivered << "quick"; };
        });
        // Starts once the quick one has handed in its result, so its part
        // arrives after that result, which waits for the stuck job.
        jobs.submit([&delivered](const JobToken& token) -> Completion {
            token.post([&delivered] { delivered << "third part"; });
            return [&delivered] { delivered << "third"; };
        });
        QTRY_COMPARE_WITH_TIMEOUT(delivered, QStringList{"third part"}, 5000);
        QCOMPARE(gate->entered.load(), 1);
        jobs.cancelAll();
        jobs.submit([&delivered](const JobToken&) -> Completion {
            return [&delivered] { delivered << "later"; };
        });
        QTRY_COMPARE_WITH_TIMEOUT(delivered, (QStringList{"third part", "later"}), 5000);
        QVERIFY(!jobs.busy());
        gate->open = true;
        jobs.waitForRunning();
        QCoreApplication::processEvents();
        QCOMPARE(delivered, (QStringList{"third part", "later"}));
    }

    // An owner that goes while its jobs run receives nothing: one that waits
    // sees the job end first, one that abandons does not wait for a job that
    // is stuck (a dead mount) and that job learns it is cancelled.
    void anOwnerThatIsGoneReceivesNothing() {
        for (const JobShutdown shutdown : {JobShutdown::WaitForRunning, JobShutdown::Abandon}) {
            auto gate = std::make_shared<Gate>();
            auto ended = std::make_shared<std::atomic<bool>>(false);
            auto sawCancel = std::make_shared<std::atomic<bool>>(false);
            bool delivered = false;
            auto jobs = std::make_unique<BackgroundJobs>(JobOrder::AllInOrder, 1, shutdown);
            jobs->submit([gate, ended, sawCancel, &delivered](const JobToken& token) -> Completion {
                gate->pass();
                while (!token.cancelled())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                *sawCancel = true;
                *ended = true;
                return [&delivered] { delivered = true; };
            });
            QTRY_COMPARE_WITH_TIMEOUT(gate->entered.load(), 1, 5000);
            if (shutdown == JobShutdown::WaitForRunning) {
                // The job ends once it sees the cancel the destruction sends.
                gate->open = true;
                jobs.reset();
                QVERIFY(ended->load());
            } else {
                jobs.reset();
                QVERIFY(!ended->load());
                gate->open = true;
                QTRY_VERIFY_WITH_TIMEOUT(ended->load(), 5000);
            }
            QVERIFY(sawCancel->load());
            QCoreApplication::processEvents();
            QVERIFY(!delivered);
        }
    }
};

VARNETTO_QTEST_MAIN(BackgroundJobsTest)
#include "BackgroundJobsTest.moc"
