#include "processing/BatchRun.h"

#include "common/PendingFile.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "processing/MemoryBudget.h"
#include "processing/OutputFolder.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

namespace varnetto {

namespace {

// Hands out images in run order, holding back those whose dependencies have
// not finished yet.
class RunScheduler {
  public:
    explicit RunScheduler(std::vector<std::vector<size_t>> dependencies)
        : dependencies_(std::move(dependencies)), state_(dependencies_.size(), State::Pending) {}

    std::optional<size_t> take(const std::atomic<bool>& abort) {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (abort) return std::nullopt;
            while (firstPending_ < state_.size() && state_[firstPending_] != State::Pending)
                ++firstPending_;
            if (firstPending_ == state_.size()) return std::nullopt;
            for (size_t i = firstPending_; i < state_.size(); ++i) {
                if (state_[i] == State::Pending && ready(i)) {
                    state_[i] = State::Running;
                    return i;
                }
            }
            // Something is running (the first pending image is always ready
            // otherwise); the abort flag is polled as well.
            changed_.wait_for(lock, std::chrono::milliseconds(100));
        }
    }

    void finish(size_t index) {
        {
            std::lock_guard lock(mutex_);
            state_[index] = State::Done;
        }
        changed_.notify_all();
    }

  private:
    enum class State { Pending, Running, Done };

    bool ready(size_t index) const {
        return std::all_of(dependencies_[index].begin(), dependencies_[index].end(),
                           [&](size_t d) { return state_[d] == State::Done; });
    }

    std::vector<std::vector<size_t>> dependencies_;
    std::vector<State> state_;
    size_t firstPending_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
};

BatchOutcome failedOutcome(int index, const std::string& source, const std::string& reason) {
    BatchOutcome outcome;
    outcome.index = index;
    outcome.source = source;
    outcome.error = source + "：" + reason;
    return outcome;
}

// One image, start to finish. A failing image never stops the run: whatever
// it throws (a bad picture, memory, the file system, an observer) becomes
// its own outcome.
BatchOutcome processOne(CImageBox& control, const Scheme& scheme, const RunItem& item,
                        const AppFolders& appFolder, Reporter& reporter, BatchObserver* observer,
                        ExistingOutput existing) {
    const int index = item.index;
    const std::string& source = item.source;
    BatchOutcome outcome;
    try {
        if (observer) observer->imageStarted(index, source);
        outcome.index = index;
        outcome.source = source;
        if (const std::string refused = makeOutputSubfolder(scheme.outputFolder, item.subfolder);
            !refused.empty()) {
            outcome.error = source + "：" + refused;
        } else {
            ProcessResult result =
                processFile(control, source, index, schemeForItem(scheme, item), true, appFolder,
                            reporter, /*keepImage=*/false, existing);
            outcome.output = std::move(result.outputPath);
            outcome.error = std::move(result.error);
            outcome.warning = std::move(result.warning);
        }
    } catch (const std::exception& e) {
        outcome = failedOutcome(index, source, e.what());
        control.Clear();
    } catch (...) {
        outcome = failedOutcome(index, source, "未知错误");
        control.Clear();
    }
    try {
        if (observer) observer->imageFinished(outcome);
    } catch (...) {
        // The image is done either way; its outcome still says how it went.
    }
    return outcome;
}

BatchOutcome skippedOne(const RunItem& item, const std::string& output, BatchObserver* observer) {
    BatchOutcome outcome;
    outcome.index = item.index;
    outcome.source = item.source;
    outcome.output = output;
    outcome.skipped = true;
    try {
        if (observer) {
            observer->imageStarted(item.index, item.source);
            observer->imageFinished(outcome);
        }
    } catch (...) {
        // Nothing was to be done for the picture; its outcome says so.
    }
    return outcome;
}

}  // namespace

int maxBatchWorkers() {
    return kWorkersPerCore * static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::string pathKey(const std::string& path) {
    if (path.empty()) return {};
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    auto resolved = std::filesystem::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

std::vector<std::vector<size_t>> runOrderDependencies(const std::vector<std::string>& sources,
                                                      const std::vector<std::string>& outputs) {
    std::vector<std::string> readKeys;
    std::vector<std::string> writtenKeys;
    for (size_t j = 0; j < sources.size(); ++j) {
        readKeys.push_back(pathKey(sources[j]));
        writtenKeys.push_back(j < outputs.size() ? pathKey(outputs[j]) : std::string());
    }
    return runOrderDependenciesOfKeys(readKeys, writtenKeys);
}

std::vector<std::vector<size_t>> runOrderDependenciesOfKeys(
    const std::vector<std::string>& readKeys, const std::vector<std::string>& writtenKeys,
    bool writesConflict) {
    struct Access {
        size_t index;
        bool write;
    };
    std::map<std::string, std::vector<Access>> accesses;
    std::vector<std::vector<size_t>> dependencies(readKeys.size());
    for (size_t j = 0; j < readKeys.size(); ++j) {
        const std::string& read = readKeys[j];
        const std::string& written = writtenKeys[j];
        auto& deps = dependencies[j];
        if (auto it = accesses.find(read); !read.empty() && it != accesses.end())
            for (const Access& a : it->second)
                if (a.write) deps.push_back(a.index);
        if (auto it = accesses.find(written); !written.empty() && it != accesses.end())
            for (const Access& a : it->second)
                if (writesConflict || !a.write) deps.push_back(a.index);
        std::sort(deps.begin(), deps.end());
        deps.erase(std::unique(deps.begin(), deps.end()), deps.end());
        if (!read.empty()) accesses[read].push_back({j, false});
        if (!written.empty()) accesses[written].push_back({j, true});
    }
    return dependencies;
}

BatchOutcome runFailureOutcome(const Scheme& scheme, const std::string& reason) {
    BatchOutcome outcome;
    outcome.source = formatMessage("处理方案 %s 的批量处理", scheme.name.c_str());
    outcome.error = formatMessage("批量处理中止：%s", reason.c_str());
    return outcome;
}

Scheme schemeForItem(const Scheme& scheme, const RunItem& item) {
    Scheme itemScheme = scheme;
    if (!item.subfolder.empty()) itemScheme.outputFolder += "/" + item.subfolder;
    return itemScheme;
}

std::vector<BatchOutcome> runBatch(const Scheme& scheme, const std::vector<std::string>& sources,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options) {
    std::vector<RunItem> items;
    items.reserve(sources.size());
    for (size_t i = 0; i < sources.size(); ++i)
        items.push_back({static_cast<int>(i) + 1, sources[i], {}});
    return runBatch(scheme, items, appFolder, reporter, observer, abort, options);
}

std::vector<BatchOutcome> runBatch(const Scheme& scheme, const std::vector<RunItem>& items,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options) {
    std::vector<std::string> sources;
    std::vector<std::string> outputs;
    sources.reserve(items.size());
    outputs.reserve(items.size());
    for (const RunItem& item : items) {
        sources.push_back(item.source);
        outputs.push_back(outputPath(schemeForItem(scheme, item), item.index, item.source));
    }
    // What a killed run left in the folders this run writes into (each
    // subfolder of a recursive run too); files of running writers stay.
    std::set<std::filesystem::path> folders{scheme.outputFolder};
    for (const std::string& output : outputs)
        folders.insert(std::filesystem::path(output).parent_path());
    for (const std::filesystem::path& folder : folders) {
        // A subfolder that leads elsewhere is refused for writing; nor is it swept.
        std::error_code error;
        if (folder != scheme.outputFolder && std::filesystem::is_symlink(folder, error)) continue;
        removeStalePendingFiles(folder, std::filesystem::file_time_type::clock::now());
    }
    RunScheduler scheduler(runOrderDependencies(sources, outputs));

    MemoryBudget budget(options.memoryBudget > 0 ? options.memoryBudget : defaultMemoryBudget());
    std::vector<std::optional<BatchOutcome>> outcomes(items.size());
    auto work = [&] {
        CImageBox control;
        while (const auto taken = scheduler.take(abort)) {
            const size_t i = *taken;
            if (outputIsCurrent(options.existing, items[i].source, outputs[i])) {
                outcomes[i] = skippedOne(items[i], outputs[i], observer);
                scheduler.finish(i);
                continue;
            }
            // The header is read again when the picture starts; a picture
            // whose header cannot be read costs nothing and fails by itself.
            std::uint64_t cost = 0;
            try {
                cost = estimatedMemory(schemeForItem(scheme, items[i]), items[i].source, appFolder);
            } catch (const std::exception&) {
            }
            const MemoryBudget::Grant memory = budget.acquire(cost, abort);
            if (memory)
                outcomes[i] = processOne(control, scheme, items[i], appFolder, reporter, observer,
                                         options.existing);
            scheduler.finish(i);
        }
    };

    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int wanted = !options.errorsAttributed ? 1
                       : options.jobs > 0        ? std::min(options.jobs, maxBatchWorkers())
                                                 : cores;
    const auto jobs = std::min<size_t>(static_cast<size_t>(wanted), items.size());
    {
        const ImagingThreadPolicy policy(static_cast<int>(jobs));
        std::vector<std::jthread> workers;
        workers.reserve(jobs);
        try {
            for (size_t w = 0; w < jobs; ++w) workers.emplace_back(work);
        } catch (const std::system_error&) {
            // The system refused another thread: those running share the
            // images; with none at all, this thread does the work.
            if (workers.empty()) work();
        }
    }

    std::vector<BatchOutcome> ran;
    for (auto& outcome : outcomes)
        if (outcome) ran.push_back(std::move(*outcome));
    return ran;
}

}  // namespace varnetto
