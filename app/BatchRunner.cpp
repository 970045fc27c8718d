#include "app/BatchRunner.h"

#include <atomic>
#include <stop_token>

namespace varnetto {

class BatchRunner::Observer final : public BatchObserver {
  public:
    Observer(BatchRunner& runner, const JobToken& token) : runner_(runner), token_(token) {}
    // Called on the batch's workers; the signals go out on the owner's thread.
    void imageStarted(int index, const std::string& source) override {
        token_.post([&runner = runner_, index, path = QString::fromStdString(source)] {
            Q_EMIT runner.imageStarted(index, path);
        });
    }
    void imageFinished(const BatchOutcome& outcome) override {
        token_.post([&runner = runner_, index = outcome.index, ok = outcome.ok()] {
            Q_EMIT runner.imageFinished(index, ok);
        });
    }

  private:
    BatchRunner& runner_;
    const JobToken& token_;
};

BatchRunner::BatchRunner(QObject* parent) : QObject(parent) {}

BatchRunner::~BatchRunner() = default;

bool BatchRunner::start(std::vector<Scheme> schemes, std::vector<std::string> sources,
                        AppFolders appFolder, Reporter& reporter, int jobs,
                        ExistingOutput existing) {
    if (jobs_.busy() || schemes.empty()) return false;
    jobs_.submit([this, schemes = std::move(schemes), sources = std::move(sources),
                  appFolder = std::move(appFolder), &reporter, jobs,
                  existing](const JobToken& token) -> BackgroundJobs::Completion {
        // An abort, or the runner going, lets the running images finish.
        std::atomic<bool> abort{false};
        const std::stop_callback onInterrupt(token.interruptToken(), [&abort] { abort = true; });
        const std::stop_callback onCancel(token.cancelToken(), [&abort] { abort = true; });
        Observer observer(*this, token);
        BatchOptions options;
        options.jobs = jobs;
        options.existing = existing;
        std::vector<BatchOutcome> outcomes;
        std::vector<RunItem> items;
        items.reserve(sources.size());
        for (size_t i = 0; i < sources.size(); ++i)
            items.push_back({static_cast<int>(i) + 1, sources[i], {}});
        std::vector<SchemeItems> runs;
        for (const Scheme& scheme : schemes) runs.push_back({scheme, items});
        try {
            outcomes = runBatch(runs, appFolder, reporter, &observer, abort, options);
        } catch (const std::exception& error) {
            // Each image's failures are in its own outcome; this is the run.
            outcomes.push_back(runFailureOutcome(schemes.front(), error.what()));
        }
        return [this, outcomes = std::move(outcomes), aborted = abort.load()] {
            Q_EMIT finished(outcomes, aborted);
        };
    });
    return true;
}

}  // namespace varnetto
