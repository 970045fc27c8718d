#include "app/BatchRunner.h"

#include <system_error>

namespace varnetto {

class BatchRunner::Observer final : public BatchObserver {
  public:
    explicit Observer(BatchRunner& runner) : runner_(runner) {}
    // Signals emitted here reach the owner's thread queued.
    void imageStarted(int index, const std::string& source) override {
        Q_EMIT runner_.imageStarted(index, QString::fromStdString(source));
    }
    void imageFinished(const BatchOutcome& outcome) override {
        Q_EMIT runner_.imageFinished(outcome.index, outcome.ok());
    }

  private:
    BatchRunner& runner_;
};

BatchRunner::BatchRunner(QObject* parent) : QObject(parent) {}

BatchRunner::~BatchRunner() {
    abort_ = true;
    if (thread_.joinable()) thread_.join();
}

bool BatchRunner::start(const Scheme& scheme, std::vector<std::string> sources,
                        AppFolders appFolder, Reporter& reporter, int jobs) {
    if (thread_.joinable()) return false;
    abort_ = false;
    auto run = [this, scheme, sources = std::move(sources), appFolder = std::move(appFolder),
                &reporter, jobs] {
        Observer observer(*this);
        BatchOptions options;
        options.jobs = jobs;
        std::vector<BatchOutcome> outcomes;
        try {
            outcomes = runBatch(scheme, sources, appFolder, reporter, &observer, abort_, options);
        } catch (const std::exception& error) {
            // Each image's failures are in its own outcome; this is the run.
            outcomes.push_back(runFailureOutcome(scheme, error.what()));
        }
        const bool aborted = abort_.load();
        QMetaObject::invokeMethod(
            this,
            [this, outcomes, aborted] {
                if (thread_.joinable()) thread_.join();
                Q_EMIT finished(outcomes, aborted);
            },
            Qt::QueuedConnection);
    };
    try {
        thread_ = std::thread(std::move(run));
    } catch (const std::system_error& error) {
        // The system refused the thread: the run ends at once, saying why.
        std::vector<BatchOutcome> outcomes{runFailureOutcome(scheme, error.what())};
        QMetaObject::invokeMethod(
            this, [this, outcomes] { Q_EMIT finished(outcomes, false); }, Qt::QueuedConnection);
    }
    return true;
}

}  // namespace varnetto
