#pragma once

#include "common/Reporter.h"
#include "processing/BatchRun.h"
#include "schemes/Scheme.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace varnetto {

// Runs one batch at a time on worker threads and reports back to the thread
// that owns it through queued signals.
class BatchRunner : public QObject {
    Q_OBJECT
  public:
    explicit BatchRunner(QObject* parent = nullptr);
    // Aborts a running batch and waits for its workers.
    ~BatchRunner() override;

    // Returns false when the workers of the previous batch are still running.
    bool start(const Scheme& scheme, std::vector<std::string> sources, AppFolders appFolder,
               Reporter& reporter, int jobs = 0);
    void abort() { abort_ = true; }
    // True from start until every worker has ended.
    bool active() const { return thread_.joinable(); }

  Q_SIGNALS:
    void imageStarted(int index, const QString& path);
    void imageFinished(int index, bool ok);
    void finished(const std::vector<varnetto::BatchOutcome>& outcomes, bool aborted);

  private:
    class Observer;

    std::thread thread_;
    std::atomic<bool> abort_{false};
};

}  // namespace varnetto
