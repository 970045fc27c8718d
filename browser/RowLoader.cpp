#include "browser/RowLoader.h"

#include "browser/RowReader.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace varnetto {

class RowLoader::Worker : public QObject {
    Q_OBJECT
  public:
    Worker(ThumbnailArt art, std::shared_ptr<std::atomic<int>> generation)
        : art_(std::move(art)), generation_(std::move(generation)) {}

    void run(const std::string& folder, const std::vector<std::string>& names,
             const std::vector<std::uint64_t>& ids, int generation) {
        for (size_t i = 0; i < names.size() && i < ids.size(); ++i) {
            if (generation_->load() != generation) break;
            Q_EMIT rowRead(ids[i], readRow(folder, names[i], art_));
        }
        Q_EMIT jobDone();
    }

  Q_SIGNALS:
    void rowRead(quint64 id, varnetto::RowFacts facts);
    void jobDone();

  private:
    ThumbnailArt art_;
    std::shared_ptr<std::atomic<int>> generation_;
};

RowLoader::RowLoader(ThumbnailArt art, QObject* parent)
    : QObject(parent), art_(std::move(art)), generation_(std::make_shared<std::atomic<int>>(0)) {
    worker_ = new Worker(art_, generation_);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &Worker::rowRead, this, &RowLoader::rowRead);
    connect(worker_, &Worker::jobDone, this, [this] {
        if (--pendingJobs_ == 0) Q_EMIT allJobsDone();
    });
    thread_.setObjectName("row loader");
    thread_.start();
}

RowLoader::~RowLoader() {
    cancelAll();
    thread_.quit();
    thread_.wait();
}

void RowLoader::load(const std::string& folder, const std::vector<std::string>& names,
                     const std::vector<std::uint64_t>& ids) {
    ++pendingJobs_;
    const int generation = generation_->load();
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker,
        [worker, folder, names, ids, generation] { worker->run(folder, names, ids, generation); },
        Qt::QueuedConnection);
}

void RowLoader::cancelAll() {
    ++*generation_;
}

}  // namespace varnetto

#include "RowLoader.moc"
