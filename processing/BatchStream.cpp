#include "processing/BatchStream.h"

#include "common/PendingFile.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "processing/ExistingOutput.h"
#include "processing/OutputFolder.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace varnetto {

namespace {

BatchOutcome failedOutcome(int index, const std::string& source, const std::string& reason) {
    BatchOutcome outcome;
    outcome.index = index;
    outcome.source = source;
    outcome.error = source + "：" + reason;
    return outcome;
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
std::vector<BatchOutcome> processTask(CImageBox& control, const std::vector<Scheme>& runSchemes,
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
            const Scheme& scheme = runSchemes[task.schemes[k]];
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
                outcomeOf(item, runSchemes[task.schemes[kept[r]]], std::move(results[r]));
    } catch (const std::exception& e) {
        control.Clear();
        outcomes.assign(task.schemes.size(), failedOutcome(item.index, item.source, e.what()));
    } catch (...) {
        control.Clear();
        outcomes.assign(task.schemes.size(), failedOutcome(item.index, item.source, "未知错误"));
    }
    for (size_t k = 0; k < outcomes.size(); ++k) {
        outcomes[k].scheme = runSchemes[task.schemes[k]].name;
        try {
            if (observer) observer->imageFinished(outcomes[k]);
        } catch (...) {
            // The picture is done either way; its outcome still says how it went.
        }
    }
    return outcomes;
}

}  // namespace

std::vector<size_t> AccessOrder::add(const std::string& read,
                                     const std::vector<std::string>& written) {
    const size_t id = next_++;
    std::vector<size_t> waits;
    if (auto it = accesses_.find(read); !read.empty() && it != accesses_.end())
        for (const Access& a : it->second)
            if (a.write) waits.push_back(a.id);
    for (const std::string& key : written)
        if (auto it = accesses_.find(key); !key.empty() && it != accesses_.end())
            for (const Access& a : it->second)
                if (writesConflict_ || !a.write) waits.push_back(a.id);
    std::sort(waits.begin(), waits.end());
    waits.erase(std::unique(waits.begin(), waits.end()), waits.end());
    if (!read.empty()) accesses_[read].push_back({id, false});
    for (const std::string& key : written)
        if (!key.empty()) accesses_[key].push_back({id, true});
    return waits;
}

void AccessOrder::forgetBefore(size_t first) {
    for (auto it = accesses_.begin(); it != accesses_.end();) {
        std::erase_if(it->second, [first](const Access& a) { return a.id < first; });
        it = it->second.empty() ? accesses_.erase(it) : std::next(it);
    }
}

int batchWorkerCount(const BatchOptions& options) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return !options.errorsAttributed ? 1
           : options.jobs > 0        ? std::min(options.jobs, maxBatchWorkers())
                                     : cores;
}

BatchStream::BatchStream(std::vector<Scheme> schemes, const AppFolders& appFolder,
                         Reporter& reporter, BatchObserver* observer,
                         const std::atomic<bool>& abort, const BatchOptions& options,
                         size_t workers)
    : schemes_(std::move(schemes)),
      appFolder_(appFolder),
      reporter_(reporter),
      observer_(observer),
      abort_(abort),
      options_(options),
      budget_(options.memoryBudget > 0 ? options.memoryBudget : defaultMemoryBudget()) {
    const size_t jobs = workers > 0 ? workers : static_cast<size_t>(batchWorkerCount(options));
    policy_ = std::make_unique<ImagingThreadPolicy>(static_cast<int>(jobs));
    workers_.reserve(jobs);
    try {
        for (size_t w = 0; w < jobs; ++w) workers_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // The system refused another thread: those running share the
        // pictures; with none at all, close() does the work.
    }
}

BatchStream::~BatchStream() {
    close();
}

void BatchStream::add(const std::vector<RunItem>& items) {
    std::vector<size_t> all(schemes_.size());
    for (size_t s = 0; s < all.size(); ++s) all[s] = s;
    std::vector<RunTask> tasks;
    tasks.reserve(items.size());
    for (const RunItem& item : items) tasks.push_back({item, all});
    add(std::move(tasks));
}

void BatchStream::add(std::vector<RunTask> tasks) {
    // Paths are resolved before the lock: the workers go on meanwhile.
    std::vector<Entry> added;
    std::vector<std::string> readKeys;
    std::vector<std::vector<std::string>> writtenKeys;
    std::set<std::filesystem::path> folders;
    PathKeys keys;
    for (RunTask& task : tasks) {
        Entry entry;
        readKeys.push_back(keys(task.item.source));
        writtenKeys.emplace_back();
        for (size_t s : task.schemes) {
            const std::string output = outputPath(schemeForItem(schemes_[s], task.item),
                                                  task.item.index, task.item.source);
            entry.outputs.push_back(output);
            writtenKeys.back().push_back(keys(output));
            folders.insert(schemes_[s].outputFolder);
            folders.insert(std::filesystem::path(output).parent_path());
        }
        entry.task = std::move(task);
        added.push_back(std::move(entry));
    }
    // What a killed run left in the folders this run writes into (each
    // subfolder of a recursive run too); files of running writers stay.
    for (const std::filesystem::path& folder : folders) {
        if (swept_.count(folder.string())) continue;
        swept_.insert(folder.string());
        // A subfolder that leads elsewhere is refused for writing; nor is it swept.
        std::error_code error;
        const bool outputFolder =
            std::any_of(schemes_.begin(), schemes_.end(),
                        [&](const Scheme& scheme) { return folder == scheme.outputFolder; });
        if (!outputFolder && std::filesystem::is_symlink(folder, error)) continue;
        removeStalePendingFiles(folder, std::filesystem::file_time_type::clock::now());
    }
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < added.size(); ++i) {
            added[i].dependencies = order_.add(readKeys[i], writtenKeys[i]);
            entries_.push_back(std::move(added[i]));
        }
    }
    changed_.notify_all();
}

bool BatchStream::ready(const Entry& entry) const {
    return std::all_of(entry.dependencies.begin(), entry.dependencies.end(), [&](size_t d) {
        return d < first_ || entries_[d - first_].state == State::Done;
    });
}

std::optional<size_t> BatchStream::take() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (abort_) return std::nullopt;
        const size_t end = first_ + entries_.size();
        while (firstPending_ < end && at(firstPending_).state != State::Pending) ++firstPending_;
        if (firstPending_ == end && closed_) return std::nullopt;
        for (size_t id = firstPending_; id < end; ++id) {
            Entry& entry = at(id);
            if (entry.state == State::Pending && ready(entry)) {
                entry.state = State::Running;
                return id;
            }
        }
        // Something is running, or nothing was added yet; the abort flag is
        // polled as well.
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
}

void BatchStream::finish(size_t id, std::optional<std::vector<BatchOutcome>> outcomes) {
    {
        std::lock_guard lock(mutex_);
        Entry& entry = at(id);
        entry.state = State::Done;
        entry.outcomes = std::move(outcomes);
    }
    changed_.notify_all();
}

void BatchStream::work() {
    CImageBox control;
    while (const auto taken = take()) {
        const size_t id = *taken;
        RunTask task;
        std::vector<std::string> outputs;
        {
            std::lock_guard lock(mutex_);
            task = at(id).task;
            outputs = at(id).outputs;
        }
        // Decided before the picture is read: a re-run of done pictures
        // reads nothing.
        std::vector<bool> current(task.schemes.size());
        size_t due = 0;
        for (size_t k = 0; k < task.schemes.size(); ++k) {
            current[k] = outputIsCurrent(options_.existing, task.item.source, outputs[k]);
            if (!current[k]) ++due;
        }
        // The header is read again when the picture starts; a picture whose
        // header cannot be read costs nothing and fails by itself. Schemes
        // sharing a decode run one after another on it.
        std::uint64_t cost = 0;
        try {
            const bool shared = due > 1;
            for (size_t k = 0; k < task.schemes.size(); ++k)
                if (!current[k])
                    cost = std::max(
                        cost, estimatedMemory(schemeForItem(schemes_[task.schemes[k]], task.item),
                                              task.item.source, appFolder_, shared));
        } catch (const std::exception&) {
        }
        std::optional<std::vector<BatchOutcome>> outcomes;
        if (const MemoryBudget::Grant memory = budget_.acquire(cost, abort_))
            outcomes = processTask(control, schemes_, task, outputs, current, appFolder_, reporter_,
                                   observer_, options_.existing);
        finish(id, std::move(outcomes));
    }
}

bool BatchStream::idleLocked() const {
    if (abort_)
        return std::none_of(entries_.begin(), entries_.end(),
                            [](const Entry& e) { return e.state == State::Running; });
    return std::all_of(entries_.begin(), entries_.end(),
                       [](const Entry& e) { return e.state == State::Done; });
}

bool BatchStream::idle() {
    std::lock_guard lock(mutex_);
    return idleLocked();
}

void BatchStream::waitIdle() {
    std::unique_lock lock(mutex_);
    // Polled for the abort flag too.
    while (!idleLocked()) changed_.wait_for(lock, std::chrono::milliseconds(100));
}

std::vector<BatchOutcome> BatchStream::takeFinished() {
    std::vector<BatchOutcome> taken;
    std::lock_guard lock(mutex_);
    for (Entry& entry : entries_) {
        if (entry.state != State::Done || !entry.outcomes) continue;
        for (BatchOutcome& outcome : *entry.outcomes) taken.push_back(std::move(outcome));
        entry.outcomes.reset();
    }
    // Pictures done and told are forgotten: a watch runs for months.
    size_t dropped = 0;
    while (!entries_.empty() && entries_.front().state == State::Done &&
           !entries_.front().outcomes) {
        entries_.pop_front();
        ++first_;
        ++dropped;
    }
    if (dropped > 0) order_.forgetBefore(first_);
    firstPending_ = std::max(firstPending_, first_);
    return taken;
}

std::vector<BatchOutcome> BatchStream::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
    // With no worker at all, this thread does the work.
    if (workers_.empty() && !entries_.empty()) work();
    workers_.clear();
    policy_.reset();
    return takeFinished();
}

}  // namespace varnetto
