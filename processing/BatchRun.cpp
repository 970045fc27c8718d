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

// One picture of a run and the schemes (positions in the run's list) that
// process it.
struct RunTask {
    RunItem item;
    std::vector<size_t> schemes;
};

std::vector<RunTask> tasksOf(const std::vector<SchemeItems>& runs) {
    std::map<int, RunTask> byIndex;
    for (size_t s = 0; s < runs.size(); ++s)
        for (const RunItem& item : runs[s].items) {
            RunTask& task = byIndex.try_emplace(item.index, RunTask{item, {}}).first->second;
            task.schemes.push_back(s);
        }
    std::vector<RunTask> tasks;
    tasks.reserve(byIndex.size());
    for (auto& [index, task] : byIndex) tasks.push_back(std::move(task));
    return tasks;
}

BatchOutcome outcomeOf(const RunItem& item, const Scheme& scheme, ProcessResult result) {
    BatchOutcome outcome;
    outcome.index = item.index;
    outcome.source = item.source;
    outcome.scheme = scheme.name;
    outcome.output = std::move(result.outputPath);
    outcome.error = std::move(result.error);
    outcome.warning = std::move(result.warning);
    outcome.milliseconds = result.milliseconds;
    if (outcome.ok()) {
        std::error_code error;
        const auto size = std::filesystem::file_size(outcome.output, error);
        if (!error) outcome.bytesWritten = size;
    }
    return outcome;
}

// One picture through its schemes, start to finish. The outputs marked
// current are left alone under the existing-output rule and the others
// share one decode. A failing picture never stops the run: whatever it
// throws (a bad picture, memory, the file system, an observer) becomes its
// own outcomes.
std::vector<BatchOutcome> processTask(CImageBox& control, const std::vector<SchemeItems>& runs,
                                      const RunTask& task, const std::vector<std::string>& outputs,
                                      const std::vector<bool>& current, const AppFolders& appFolder,
                                      Reporter& reporter, BatchObserver* observer,
                                      ExistingOutput existing) {
    const RunItem& item = task.item;
    std::vector<BatchOutcome> outcomes;
    try {
        if (observer) observer->imageStarted(item.index, item.source);
        std::vector<Scheme> schemes;
        std::vector<size_t> kept;  // positions in task.schemes that get a decode
        outcomes.resize(task.schemes.size());
        for (size_t k = 0; k < task.schemes.size(); ++k) {
            const Scheme& scheme = runs[task.schemes[k]].scheme;
            if (current[k]) {
                outcomes[k].index = item.index;
                outcomes[k].source = item.source;
                outcomes[k].output = outputs[k];
                outcomes[k].skipped = true;
                continue;
            }
            if (const std::string refused =
                    makeOutputSubfolder(scheme.outputFolder, item.subfolder);
                !refused.empty()) {
                ProcessResult failed;
                failed.error = item.source + "：" + refused;
                outcomes[k] = outcomeOf(item, scheme, std::move(failed));
                continue;
            }
            schemes.push_back(schemeForItem(scheme, item));
            kept.push_back(k);
        }
        // One scheme alone may stream its picture; several share a decode.
        std::vector<ProcessResult> results;
        if (schemes.size() == 1)
            results.push_back(processFile(control, item.source, item.index, schemes.front(), true,
                                          appFolder, reporter, /*keepImage=*/false, existing));
        else if (!schemes.empty())
            results = processFileWithSchemes(control, item.source, item.index, schemes, appFolder,
                                             reporter, existing);
        for (size_t r = 0; r < results.size(); ++r)
            outcomes[kept[r]] =
                outcomeOf(item, runs[task.schemes[kept[r]]].scheme, std::move(results[r]));
    } catch (const std::exception& e) {
        control.Clear();
        outcomes.assign(task.schemes.size(), failedOutcome(item.index, item.source, e.what()));
    } catch (...) {
        control.Clear();
        outcomes.assign(task.schemes.size(), failedOutcome(item.index, item.source, "未知错误"));
    }
    for (size_t k = 0; k < outcomes.size(); ++k) {
        outcomes[k].scheme = runs[task.schemes[k]].scheme.name;
        try {
            if (observer) observer->imageFinished(outcomes[k]);
        } catch (...) {
            // The picture is done either way; its outcome still says how it went.
        }
    }
    return outcomes;
}

// Finds the first file that two schemes of a run would both write.
class ClashFinder {
  public:
    explicit ClashFinder(const std::vector<SchemeItems>& runs) : runs_(runs) {}

    // "" or the reason, naming both schemes and the file: scheme writes
    // output (key: its pathKey) for source.
    std::string add(size_t scheme, const std::string& key, const std::string& output,
                    const std::string& source) {
        if (key.empty()) return {};
        const auto [it, fresh] = writers_.try_emplace(key, scheme, source);
        if (fresh || it->second.first == scheme) return {};
        return formatMessage(
            "处理方案 %s 和 %s 都要写出文件 %s（图像 %s 和 "
            "%s）；请改动其中一个方案的输出目录或命名。",
            runs_[it->second.first].scheme.name.c_str(), runs_[scheme].scheme.name.c_str(),
            output.c_str(), it->second.second.c_str(), source.c_str());
    }

  private:
    const std::vector<SchemeItems>& runs_;
    // Keyed by the file: the first scheme and picture that write it.
    std::map<std::string, std::pair<size_t, std::string>> writers_;
};

// For each task, the earlier ones it must wait for: one writes what it reads
// or writes, or reads what it writes.
// Without writesConflict two writes of one file need no order (each takes a
// name of its own).
std::vector<std::vector<size_t>> dependenciesOf(
    const std::vector<std::string>& readKeys,
    const std::vector<std::vector<std::string>>& writtenKeys, bool writesConflict = true) {
    struct Access {
        size_t index;
        bool write;
    };
    std::map<std::string, std::vector<Access>> accesses;
    std::vector<std::vector<size_t>> dependencies(readKeys.size());
    for (size_t j = 0; j < readKeys.size(); ++j) {
        const std::string& read = readKeys[j];
        auto& deps = dependencies[j];
        if (auto it = accesses.find(read); !read.empty() && it != accesses.end())
            for (const Access& a : it->second)
                if (a.write) deps.push_back(a.index);
        for (const std::string& written : writtenKeys[j])
            if (auto it = accesses.find(written); !written.empty() && it != accesses.end())
                for (const Access& a : it->second)
                    if (writesConflict || !a.write) deps.push_back(a.index);
        std::sort(deps.begin(), deps.end());
        deps.erase(std::unique(deps.begin(), deps.end()), deps.end());
        if (!read.empty()) accesses[read].push_back({j, false});
        for (const std::string& written : writtenKeys[j])
            if (!written.empty()) accesses[written].push_back({j, true});
    }
    return dependencies;
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
    std::vector<std::vector<std::string>> written;
    written.reserve(writtenKeys.size());
    for (const std::string& key : writtenKeys) written.push_back({key});
    return dependenciesOf(readKeys, written, writesConflict);
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
    return runBatch(std::vector<SchemeItems>{{scheme, items}}, appFolder, reporter, observer, abort,
                    options);
}

std::string outputClash(const std::vector<SchemeItems>& runs) {
    ClashFinder clashes(runs);
    for (size_t s = 0; s < runs.size(); ++s) {
        for (const RunItem& item : runs[s].items) {
            const std::string output =
                outputPath(schemeForItem(runs[s].scheme, item), item.index, item.source);
            if (std::string clash = clashes.add(s, pathKey(output), output, item.source);
                !clash.empty())
                return clash;
        }
    }
    return {};
}

std::vector<BatchOutcome> runBatch(const std::vector<SchemeItems>& runs,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options) {
    if (runs.empty()) return {};
    const std::vector<RunTask> tasks = tasksOf(runs);
    std::vector<std::string> readKeys;
    std::vector<std::vector<std::string>> writtenKeys;
    std::vector<std::vector<std::string>> outputs;  // of each task, per scheme
    readKeys.reserve(tasks.size());
    writtenKeys.reserve(tasks.size());
    outputs.reserve(tasks.size());
    // What a killed run left in the folders this run writes into (each
    // subfolder of a recursive run too); files of running writers stay.
    std::set<std::filesystem::path> folders;
    for (const SchemeItems& run : runs) folders.insert(run.scheme.outputFolder);
    ClashFinder clashes(runs);
    for (const RunTask& task : tasks) {
        readKeys.push_back(pathKey(task.item.source));
        writtenKeys.emplace_back();
        outputs.emplace_back();
        for (size_t s : task.schemes) {
            const std::string output = outputPath(schemeForItem(runs[s].scheme, task.item),
                                                  task.item.index, task.item.source);
            outputs.back().push_back(output);
            writtenKeys.back().push_back(pathKey(output));
            if (std::string clash =
                    clashes.add(s, writtenKeys.back().back(), output, task.item.source);
                !clash.empty())
                return {runFailureOutcome(runs[s].scheme, clash)};
            folders.insert(std::filesystem::path(output).parent_path());
        }
    }
    for (const std::filesystem::path& folder : folders) {
        // A subfolder that leads elsewhere is refused for writing; nor is it swept.
        std::error_code error;
        const bool outputFolder =
            std::any_of(runs.begin(), runs.end(),
                        [&](const SchemeItems& run) { return folder == run.scheme.outputFolder; });
        if (!outputFolder && std::filesystem::is_symlink(folder, error)) continue;
        removeStalePendingFiles(folder, std::filesystem::file_time_type::clock::now());
    }
    RunScheduler scheduler(dependenciesOf(readKeys, writtenKeys));

    MemoryBudget budget(options.memoryBudget > 0 ? options.memoryBudget : defaultMemoryBudget());
    std::vector<std::optional<std::vector<BatchOutcome>>> outcomes(tasks.size());
    auto work = [&] {
        CImageBox control;
        while (const auto taken = scheduler.take(abort)) {
            const size_t i = *taken;
            const RunTask& task = tasks[i];
            // Decided before the picture is read: a re-run of done pictures
            // reads nothing.
            std::vector<bool> current(task.schemes.size());
            size_t due = 0;
            for (size_t k = 0; k < task.schemes.size(); ++k) {
                current[k] = outputIsCurrent(options.existing, task.item.source, outputs[i][k]);
                if (!current[k]) ++due;
            }
            // The header is read again when the picture starts; a picture
            // whose header cannot be read costs nothing and fails by itself.
            // Schemes sharing a decode run one after another on it.
            std::uint64_t cost = 0;
            try {
                const bool shared = due > 1;
                for (size_t k = 0; k < task.schemes.size(); ++k)
                    if (!current[k])
                        cost = std::max(
                            cost,
                            estimatedMemory(schemeForItem(runs[task.schemes[k]].scheme, task.item),
                                            task.item.source, appFolder, shared));
            } catch (const std::exception&) {
            }
            const MemoryBudget::Grant memory = budget.acquire(cost, abort);
            if (memory)
                outcomes[i] = processTask(control, runs, task, outputs[i], current, appFolder,
                                          reporter, observer, options.existing);
            scheduler.finish(i);
        }
    };

    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int wanted = !options.errorsAttributed ? 1
                       : options.jobs > 0        ? std::min(options.jobs, maxBatchWorkers())
                                                 : cores;
    const auto jobs = std::min<size_t>(static_cast<size_t>(wanted), tasks.size());
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
    for (auto& taskOutcomes : outcomes)
        if (taskOutcomes)
            for (BatchOutcome& outcome : *taskOutcomes) ran.push_back(std::move(outcome));
    return ran;
}

RunSummary summarize(const std::vector<BatchOutcome>& outcomes) {
    RunSummary summary;
    for (const BatchOutcome& o : outcomes) {
        if (!o.ok())
            ++summary.failed;
        else if (o.skipped)
            ++summary.skipped;
        else
            ++summary.processed;
        if (o.warned()) ++summary.warned;
    }
    return summary;
}

}  // namespace varnetto
