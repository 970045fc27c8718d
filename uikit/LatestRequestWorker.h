#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace varnetto {

// Runs one job at a time on a thread of its own, for work whose newest
// request is the only one worth finishing: a preview that follows the
// selection, a viewer that follows the keys. A job submitted while none runs
// starts at once; while one runs only the newest submitted job waits, and
// older waiting jobs are dropped unrun.
//
// A job runs on the worker thread and returns what is to happen on the
// owner's thread with its result (or nothing). That part runs later on the
// owner's thread unless the worker has been destroyed meanwhile, so a closed
// window never receives a late result. A job may watch its superseded flag,
// set once a newer job waits, to give up early.
class LatestRequestWorker : public QObject {
    Q_OBJECT
  public:
    using Completion = std::function<void()>;
    using Job = std::function<Completion(const std::atomic<bool>& superseded)>;

    explicit LatestRequestWorker(const QString& name, QObject* parent = nullptr);
    // Drops the waiting job, tells the running one it is superseded and waits
    // for it; its completion is dropped.
    ~LatestRequestWorker() override;
    LatestRequestWorker(const LatestRequestWorker&) = delete;
    LatestRequestWorker& operator=(const LatestRequestWorker&) = delete;

    void submit(Job job);
    // True from a submit until the last completion has run.
    bool busy() const { return pending_ > 0; }

  Q_SIGNALS:
    // Every submitted job has finished or been dropped.
    void idle();

  private:
    void run();
    void jobEnded(const Completion& completion);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool active_ = false;  // a job runs or is about to
    Job next_;             // the job about to run; never replaced
    Job waiting_;          // runs after the current one unless replaced
    std::shared_ptr<std::atomic<bool>> runningSuperseded_;
    bool stopping_ = false;
    int pending_ = 0;  // owner's thread only
    std::thread thread_;
};

}  // namespace varnetto
