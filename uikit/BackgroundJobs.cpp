#include "uikit/BackgroundJobs.h"

#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace varnetto {

namespace {

// Threads shared by every owner. They are detached: one stuck in a dead
// network mount ends whenever the system lets it, and never holds the
// program's exit. Idle threads leave after a while.
class JobPool {
  public:
    void post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        if (idle_ >= tasks_.size() || threads_ >= kMaxThreads) {
            wake_.notify_one();
            return;
        }
        try {
            std::thread([this] { work(); }).detach();
            ++threads_;
        } catch (const std::system_error&) {
            // Out of threads: a running one takes the task when it is free.
            wake_.notify_one();
        }
    }

  private:
    static constexpr std::size_t kMaxThreads = 64;
    static constexpr std::chrono::seconds kIdleLife{30};

    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (tasks_.empty()) {
                ++idle_;
                const bool woken =
                    wake_.wait_for(lock, kIdleLife, [this] { return !tasks_.empty(); });
                --idle_;
                if (!woken) {
                    --threads_;
                    return;
                }
            }
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::size_t threads_ = 0;
    std::size_t idle_ = 0;
};

// Never destroyed: detached threads may still wait on it at exit.
JobPool& pool() {
    static auto* shared = new JobPool;
    return *shared;
}

}  // namespace

struct BackgroundJobs::State {
    struct Queued {
        std::uint64_t sequence;
        Work work;
        Failure failed;
        std::stop_token cancel;
        std::stop_source supersede;
    };

    std::mutex mutex;
    std::condition_variable idleWake;
    BackgroundJobs* receiver = nullptr;  // null once the owner is gone
    JobOrder order = JobOrder::AllInOrder;
    int parallel = 1;
    int running = 0;
    std::stop_source cancel;
    std::stop_source runningSupersede;  // newest-wins: the running job's
    std::deque<Queued> queue;

    // Caller holds mutex.
    void startMore(const std::shared_ptr<State>& self) {
        while (running < parallel && !queue.empty()) {
            Queued job = std::move(queue.front());
            queue.pop_front();
            ++running;
            if (order == JobOrder::NewestWins) runningSupersede = job.supersede;
            pool().post([self, job = std::move(job)]() mutable { self->execute(self, job); });
        }
    }

    void execute(const std::shared_ptr<State>& self, Queued& job) {
        const JobToken token(job.cancel, job.supersede.get_token());
        Completion completion;
        std::optional<QString> error;
        if (!token.stopRequested()) {
            try {
                completion = job.work(token);
            } catch (const std::exception& failure) {
                error = QString::fromUtf8(failure.what());
            } catch (...) {
                error = QString::fromUtf8("未知错误");
            }
        }
        job.work = nullptr;
        std::lock_guard lock(mutex);
        --running;
        if (receiver) {
            const bool dropped = token.stopRequested();
            QMetaObject::invokeMethod(
                receiver,
                [owner = receiver, sequence = job.sequence,
                 completion = dropped ? Completion() : std::move(completion),
                 error = dropped ? std::nullopt : std::move(error), failed = std::move(job.failed),
                 cancel = job.cancel, supersede = job.supersede.get_token()]() mutable {
                    // Cancelled or superseded while the delivery travelled.
                    if (cancel.stop_requested() || supersede.stop_requested()) {
                        completion = nullptr;
                        error.reset();
                    }
                    owner->delivered(sequence, std::move(completion), std::move(error),
                                     std::move(failed));
                },
                Qt::QueuedConnection);
        }
        startMore(self);
        idleWake.notify_all();
    }
};

BackgroundJobs::BackgroundJobs(JobOrder order, int parallel, JobShutdown shutdown, QObject* parent)
    : QObject(parent), state_(std::make_shared<State>()), shutdown_(shutdown) {
    state_->receiver = this;
    state_->order = order;
    state_->parallel = order == JobOrder::NewestWins ? 1 : std::max(1, parallel);
}

BackgroundJobs::~BackgroundJobs() {
    {
        std::lock_guard lock(state_->mutex);
        state_->receiver = nullptr;
        state_->queue.clear();
        state_->cancel.request_stop();
    }
    if (shutdown_ == JobShutdown::WaitForRunning) waitForRunning();
}

void BackgroundJobs::submit(Work work, Failure failed) {
    ++pending_;
    std::lock_guard lock(state_->mutex);
    State::Queued job{nextSequence_++, std::move(work), std::move(failed),
                      state_->cancel.get_token(), std::stop_source()};
    if (state_->order == JobOrder::NewestWins) {
        for (const State::Queued& replaced : state_->queue) skipped_.push_back(replaced.sequence);
        state_->queue.clear();
        if (state_->running > 0) state_->runningSupersede.request_stop();
    }
    state_->queue.push_back(std::move(job));
    state_->startMore(state_);
    if (!skipped_.empty()) {
        QMetaObject::invokeMethod(
            this, [this] { flushSkipped(); }, Qt::QueuedConnection);
    }
}

void BackgroundJobs::cancelAll() {
    std::lock_guard lock(state_->mutex);
    for (const State::Queued& dropped : state_->queue) skipped_.push_back(dropped.sequence);
    state_->queue.clear();
    state_->cancel.request_stop();
    state_->cancel = std::stop_source();
    if (!skipped_.empty()) {
        QMetaObject::invokeMethod(
            this, [this] { flushSkipped(); }, Qt::QueuedConnection);
    }
}

void BackgroundJobs::waitForRunning() {
    std::unique_lock lock(state_->mutex);
    state_->idleWake.wait(lock, [this] { return state_->running == 0; });
}

void BackgroundJobs::flushSkipped() {
    std::vector<std::uint64_t> skipped;
    skipped.swap(skipped_);
    for (const std::uint64_t sequence : skipped) delivered(sequence, {}, std::nullopt, {});
}

void BackgroundJobs::delivered(std::uint64_t sequence, Completion completion,
                               std::optional<QString> error, Failure failed) {
    early_.emplace(sequence, Finished{std::move(completion), std::move(error), std::move(failed)});
    // A completion may submit more work, or close the window that owns us.
    const QPointer<BackgroundJobs> alive(this);
    while (alive && !early_.empty() && early_.begin()->first == nextToDeliver_) {
        Finished next = std::move(early_.begin()->second);
        early_.erase(early_.begin());
        ++nextToDeliver_;
        --pending_;
        if (next.error) {
            if (next.failed) next.failed(*next.error);
        } else if (next.completion) {
            next.completion();
        }
    }
    if (alive && pending_ == 0) Q_EMIT idle();
}

}  // namespace varnetto
