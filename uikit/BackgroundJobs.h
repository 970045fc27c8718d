#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

namespace varnetto {

// What a running job may watch to give up early, and its way to hand over
// part of its result before the rest.
class JobToken {
  public:
    using Post = std::function<void(std::function<void()>)>;

    JobToken(std::stop_token cancel, std::stop_token supersede, std::stop_token interrupt = {},
             Post post = {})
        : cancel_(std::move(cancel)),
          supersede_(std::move(supersede)),
          interrupt_(std::move(interrupt)),
          post_(std::move(post)) {}
    // The owner is gone or has cancelled its jobs: nothing will be delivered.
    bool cancelled() const { return cancel_.stop_requested(); }
    // A newer job of a newest-first owner waits: under NewestWins this result
    // will be dropped.
    bool superseded() const { return supersede_.stop_requested(); }
    // The owner wants its jobs to end early; what they return still arrives.
    bool interrupted() const { return interrupt_.stop_requested(); }
    bool stopRequested() const { return cancelled() || superseded() || interrupted(); }
    const std::stop_token& cancelToken() const { return cancel_; }
    const std::stop_token& interruptToken() const { return interrupt_; }
    // Runs part on the owner's thread soon, before what the job returns and
    // without waiting for earlier jobs' results; dropped when the job's
    // result would be. Safe from any thread the job starts.
    void post(std::function<void()> part) const {
        if (post_) post_(std::move(part));
    }

  private:
    std::stop_token cancel_;
    std::stop_token supersede_;
    std::stop_token interrupt_;
    Post post_;
};

// How the results of one owner's jobs come back.
enum class JobOrder {
    // One job runs at a time; a job submitted while one runs waits and
    // replaces any job already waiting, and the running one is superseded.
    NewestWins,
    // As NewestWins, but the running job's result is still delivered: a
    // picture that follows the selection shows each one it finished.
    NewestRunsNext,
    // Up to `parallel` jobs run at once; every result is delivered, in the
    // order the jobs were submitted.
    AllInOrder,
};

// What the owner's destruction does with a job still running.
enum class JobShutdown {
    // Waits for it (it should watch its token). For jobs that share the
    // owner's objects.
    WaitForRunning,
    // Leaves it to end by itself: a read stuck on a dead network mount must
    // not hold the window. Such a job owns everything it uses.
    Abandon,
};

// The one way the windows work in the background. Jobs run on a shared pool
// of threads; each returns what is to happen on the owner's thread (the
// thread this object lives in). That part runs there later, unless the job
// was cancelled or superseded meanwhile or this object is gone: a closed
// window never receives a late result. A job that throws delivers its error
// text to its failure handler instead. A job may hand over parts of its
// result on the way (JobToken::post).
//
// A thread of the pool blocked in the file system holds only its own job:
// the pool grows for the others.
class BackgroundJobs : public QObject {
    Q_OBJECT
  public:
    using Completion = std::function<void()>;
    using Work = std::function<Completion(const JobToken&)>;
    using Failure = std::function<void(const QString& reason)>;

    BackgroundJobs(JobOrder order, int parallel = 1,
                   JobShutdown shutdown = JobShutdown::WaitForRunning, QObject* parent = nullptr);
    // Cancels every job; waits for running ones as the shutdown rule says.
    ~BackgroundJobs() override;
    BackgroundJobs(const BackgroundJobs&) = delete;
    BackgroundJobs& operator=(const BackgroundJobs&) = delete;

    void submit(Work work, Failure failed = {});

    // A job whose value goes to done on the owner's thread.
    template <typename Value>
    void run(std::function<Value(const JobToken&)> work, std::function<void(Value)> done,
             Failure failed = {}) {
        submit(
            [work = std::move(work), done = std::move(done)](const JobToken& token) -> Completion {
                auto value = std::make_shared<Value>(work(token));
                return [done, value] { done(std::move(*value)); };
            },
            std::move(failed));
    }

    // Drops waiting jobs and tells running ones they are cancelled; nothing
    // of them is delivered. Later submissions run normally, and their
    // results do not wait for a cancelled job that is still running.
    void cancelAll();
    // Asks the jobs submitted so far to end early (JobToken::interrupted);
    // unlike a cancel, their results are delivered.
    void interruptAll();
    // Blocks until no job of this owner runs.
    void waitForRunning();
    // True from a submit until the last delivery (or drop).
    bool busy() const { return nextToDeliver_ != nextSequence_; }

  Q_SIGNALS:
    // Every submitted job has been delivered or dropped.
    void idle();

  private:
    struct State;
    // A result that came before an earlier job's.
    struct Finished {
        Completion completion;
        std::optional<QString> error;
        Failure failed;
    };
    void delivered(std::uint64_t sequence, Completion completion, std::optional<QString> error,
                   Failure failed);
    void flushSkipped();
    void idleLater();

    std::shared_ptr<State> state_;
    JobShutdown shutdown_;
    // Owner's thread only. Jobs below nextToDeliver_ are delivered or
    // dropped; a result of one that arrives late is ignored.
    std::uint64_t nextSequence_ = 0;
    std::uint64_t nextToDeliver_ = 0;
    std::vector<std::uint64_t> skipped_;  // dropped unrun, to be counted off
    std::map<std::uint64_t, Finished> early_;
};

}  // namespace varnetto
