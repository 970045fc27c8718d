#include "browser/FileSystemJobs.h"

#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace varnetto {

struct FileSystemJobs::Shared {
    std::mutex mutex;
    std::deque<Job> queue;
    int threads = 0;
    int maxThreads = 1;
    QObject* receiver = nullptr;  // null once the owner is gone
};

FileSystemJobs::FileSystemJobs(int maxThreads, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    shared_->maxThreads = std::max(1, maxThreads);
    shared_->receiver = this;
}

FileSystemJobs::~FileSystemJobs() {
    std::lock_guard lock(shared_->mutex);
    shared_->receiver = nullptr;
    shared_->queue.clear();
}

void FileSystemJobs::submit(Job job) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back(std::move(job));
    }
    startThreads();
}

void FileSystemJobs::startThreads() {
    std::lock_guard lock(shared_->mutex);
    // Running threads are busy with a job each: every queued job wants one.
    for (size_t waiting = shared_->queue.size();
         waiting > 0 && shared_->threads < shared_->maxThreads; --waiting) {
        try {
            std::thread([shared = shared_] { work(shared); }).detach();
            ++shared_->threads;
        } catch (const std::system_error&) {
            // Out of threads: the queued jobs wait for the next submission.
            break;
        }
    }
}

void FileSystemJobs::work(const std::shared_ptr<Shared>& shared) {
    const Deliver deliver = [shared](std::function<void()> completion) {
        std::lock_guard lock(shared->mutex);
        if (shared->receiver) {
            QMetaObject::invokeMethod(shared->receiver, std::move(completion),
                                      Qt::QueuedConnection);
        }
    };
    for (;;) {
        Job job;
        {
            std::lock_guard lock(shared->mutex);
            if (shared->queue.empty() || !shared->receiver) {
                --shared->threads;
                return;
            }
            job = std::move(shared->queue.front());
            shared->queue.pop_front();
        }
        try {
            job(deliver);
        } catch (const std::exception&) {
            // A job reports its own failures; one that throws still ends.
        }
    }
}

}  // namespace varnetto
