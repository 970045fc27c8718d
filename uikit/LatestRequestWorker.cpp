#include "uikit/LatestRequestWorker.h"

#include <exception>

namespace varnetto {

LatestRequestWorker::LatestRequestWorker(const QString& name, QObject* parent) : QObject(parent) {
    setObjectName(name);
    thread_ = std::thread([this] { run(); });
}

LatestRequestWorker::~LatestRequestWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        next_ = nullptr;
        waiting_ = nullptr;
        if (runningSuperseded_) *runningSuperseded_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void LatestRequestWorker::submit(Job job) {
    bool replaced = false;
    {
        std::lock_guard lock(mutex_);
        if (!active_) {
            active_ = true;
            next_ = std::move(job);
        } else {
            replaced = static_cast<bool>(waiting_);
            waiting_ = std::move(job);
            if (runningSuperseded_) *runningSuperseded_ = true;
        }
    }
    if (!replaced) ++pending_;
    wake_.notify_one();
}

void LatestRequestWorker::run() {
    for (;;) {
        Job job;
        std::shared_ptr<std::atomic<bool>> superseded;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || next_; });
            if (stopping_) return;
            job = std::move(next_);
            next_ = nullptr;
            superseded = std::make_shared<std::atomic<bool>>(static_cast<bool>(waiting_));
            runningSuperseded_ = superseded;
        }
        Completion completion;
        try {
            completion = job(*superseded);
        } catch (const std::exception&) {
            // A job reports its own failures; one that throws still ends.
        }
        {
            std::lock_guard lock(mutex_);
            runningSuperseded_.reset();
            if (stopping_) return;
            next_ = std::move(waiting_);
            waiting_ = nullptr;
            active_ = static_cast<bool>(next_);
        }
        // Queued to the owner's thread; dropped with this object.
        QMetaObject::invokeMethod(
            this, [this, completion = std::move(completion)] { jobEnded(completion); },
            Qt::QueuedConnection);
    }
}

void LatestRequestWorker::jobEnded(const Completion& completion) {
    --pending_;
    if (completion) completion();
    if (pending_ == 0) Q_EMIT idle();
}

}  // namespace varnetto
