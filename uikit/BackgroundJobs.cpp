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
        std::stop_token interrupt;
        std::stop_source supersede;
    };

    std::mutex mutex;
    std::condition_variable idleWake;
    BackgroundJobs* receiver = nullptr;  // null once the owner is gone
    JobOrder order = JobOrder::AllInOrder;
    int parallel = 1;
    int running = 0;
    std::stop_source cancel;
    std::stop_source interrupt;
    std::stop_source runningSupersede;  // newest first: the running job's
    std::deque<Queued> queue;

    // Whether what a job hands over is to be thrown away.
    static bool dropped(const std::stop_token& cancel, const std::stop_token& supersede,
                        bool supersedeDrops) {
        return cancel.stop_requested() || (supersedeDrops && supersede.stop_requested());
    }

    // Caller holds mutex.
    void startMore(const std::shared_ptr<State>& self) {
        while (running < parallel && !queue.empty()) {
            Queued job = std::move(queue.front());
            queue.pop_front();
            ++running;
            if (order != JobOrder::AllInOrder) runningSupersede = job.supersede;
            pool().post([self, job = std::move(job)]() mutable { self->execute(self, job); });
        }
    }

    // Caller holds mutex. The owner's side checks again on arrival: the job
    // may be cancelled or superseded while the delivery travels.
    void deliver(std::function<void(BackgroundJobs&)> arrival) {
        QMetaObject::invokeMethod(
            receiver, [owner = receiver, arrival = std::move(arrival)] { arrival(*owner); },
            Qt::QueuedConnection);
    }

    void execute(const std::shared_ptr<State>& self, Queued& job) {
        const bool supersedeDrops = order == JobOrder::NewestWins;
        const std::stop_token cancelToken = job.cancel;
        const std::stop_token supersedeToken = job.supersede.get_token();
        const JobToken token(
            cancelToken, supersedeToken, job.interrupt,
            [self, cancelToken, supersedeToken, supersedeDrops](Completion part) {
                std::lock_guard lock(self->mutex);
                if (!self->receiver || dropped(cancelToken, supersedeToken, supersedeDrops)) return;
                self->deliver([cancelToken, supersedeToken, supersedeDrops,
                               part = std::move(part)](BackgroundJobs&) {
                    if (!dropped(cancelToken, supersedeToken, supersedeDrops)) part();
                });
            });
        Completion completion;
        std::optional<QString> error;
        if (!dropped(cancelToken, supersedeToken, supersedeDrops)) {
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
            deliver([sequence = job.sequence, completion = std::move(completion),
                     error = std::move(error), failed = std::move(job.failed), cancelToken,
                     supersedeToken, supersedeDrops](BackgroundJobs& owner) mutable {
                if (dropped(cancelToken, supersedeToken, supersedeDrops)) {
                    completion = nullptr;
                    error.reset();
                }
                owner.delivered(sequence, std::move(completion), std::move(error),
                                std::move(failed));
            });
        }
        startMore(self);
        idleWake.notify_all();
    }
};

BackgroundJobs::BackgroundJobs(JobOrder order, int parallel, JobShutdown shutdown, QObject* parent)
    : QObject(parent), state_(std::make_shared<State>()), shutdown_(shutdown) {
    state_->receiver = this;
    state_->order = order;
    state_->parallel = order == JobOrder::AllInOrder ? std::max(1, parallel) : 1;
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
    std::lock_guard lock(state_->mutex);
    State::Queued job{nextSequence_++,
                      std::move(work),
                      std::move(failed),
                      state_->cancel.get_token(),
                      state_->interrupt.get_token(),
                      std::stop_source()};
    if (state_->order != JobOrder::AllInOrder) {
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
    {
        std::lock_guard lock(state_->mutex);
        state_->queue.clear();
        state_->cancel.request_stop();
        state_->cancel = std::stop_source();
    }
    if (!busy()) return;
    // Everything submitted so far counts as dropped now: a cancelled job
    // stuck in the file system holds back no later result.
    nextToDeliver_ = nextSequence_;
    early_.clear();
    skipped_.clear();
    idleLater();
}

void BackgroundJobs::interruptAll() {
    std::lock_guard lock(state_->mutex);
    state_->interrupt.request_stop();
    state_->interrupt = std::stop_source();
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

// Reported from the event loop, as a delivery is: a cancel followed at once
// by a new submission is one busy spell.
void BackgroundJobs::idleLater() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!busy()) Q_EMIT idle();
        },
        Qt::QueuedConnection);
}

void BackgroundJobs::delivered(std::uint64_t sequence, Completion completion,
                               std::optional<QString> error, Failure failed) {
    if (sequence < nextToDeliver_) return;
    early_.emplace(sequence, Finished{std::move(completion), std::move(error), std::move(failed)});
    // A completion may submit more work, or close the window that owns us.
    const QPointer<BackgroundJobs> alive(this);
    while (alive && !early_.empty() && early_.begin()->first == nextToDeliver_) {
        Finished next = std::move(early_.begin()->second);
        early_.erase(early_.begin());
        ++nextToDeliver_;
        if (next.error) {
            if (next.failed) next.failed(*next.error);
        } else if (next.completion) {
            next.completion();
        }
    }
    if (alive && !busy()) Q_EMIT idle();
}

}  // namespace varnetto
