#pragma once

#include "common/Reporter.h"
#include "processing/BatchRun.h"
#include "schemes/Scheme.h"
#include "uikit/BackgroundJobs.h"

#include <QObject>
#include <QString>

#include <string>
#include <vector>

namespace varnetto {

// Runs one batch at a time as a background job whose workers report back to
// the thread that owns it.
class BatchRunner : public QObject {
    Q_OBJECT
  public:
    explicit BatchRunner(QObject* parent = nullptr);
    // Aborts a running batch and waits for its workers.
    ~BatchRunner() override;

    // Runs every scheme over sources, each picture decoded once for all of
    // them. Returns false when the workers of the previous batch are still
    // running.
    bool start(std::vector<Scheme> schemes, std::vector<std::string> sources, AppFolders appFolder,
               Reporter& reporter, int jobs = 0, ExistingOutput existing = ExistingOutput::Replace);
    // No new image starts; the running ones finish and the run reports.
    void abort() { jobs_.interruptAll(); }
    // True from start until every worker has ended.
    bool active() const { return jobs_.busy(); }

  Q_SIGNALS:
    void imageStarted(int index, const QString& path);
    void imageFinished(int index, bool ok);
    void finished(const std::vector<varnetto::BatchOutcome>& outcomes, bool aborted);

  private:
    class Observer;

    BackgroundJobs jobs_{JobOrder::AllInOrder};
};

}  // namespace varnetto
