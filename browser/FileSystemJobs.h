#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace varnetto {

// Runs file-system reads on threads of their own, so that a huge folder or a
// dead network mount never holds the window. Jobs start in submission order
// on up to maxThreads threads; a thread stuck in the file system holds only
// its own job. A job hands what is to happen on the owner's thread to its
// deliver function; deliveries of one job arrive in order, and none arrives
// once this object is gone.
//
// Destruction does not wait: a job blocked on a dead mount ends by itself,
// later, and its results are dropped. Jobs must therefore capture nothing
// that dies with the owner, and should watch a cancel flag of their own.
class FileSystemJobs : public QObject {
    Q_OBJECT
  public:
    using Deliver = std::function<void(std::function<void()>)>;
    using Job = std::function<void(const Deliver& deliver)>;

    explicit FileSystemJobs(int maxThreads, QObject* parent = nullptr);
    ~FileSystemJobs() override;
    FileSystemJobs(const FileSystemJobs&) = delete;
    FileSystemJobs& operator=(const FileSystemJobs&) = delete;

    void submit(Job job);

  private:
    struct Shared;
    static void work(const std::shared_ptr<Shared>& shared);
    void startThreads();

    std::shared_ptr<Shared> shared_;
};

}  // namespace varnetto
