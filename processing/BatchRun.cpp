#include "processing/BatchRun.h"

#include "processing/BatchStream.h"
#include "processing/OutputNaming.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

namespace varnetto {

namespace {

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

// The first output two schemes of runs both write: the scheme that meets
// the other's file and the reason, or an empty reason.
std::pair<size_t, std::string> firstClash(const std::vector<SchemeItems>& runs) {
    // One scheme never clashes with itself.
    if (runs.size() < 2) return {};
    ClashFinder clashes(runs);
    PathKeys keys;
    for (size_t s = 0; s < runs.size(); ++s) {
        for (const RunItem& item : runs[s].items) {
            const std::string output =
                outputPath(schemeForItem(runs[s].scheme, item), item.index, item.source);
            if (std::string clash = clashes.add(s, keys(output), output, item.source);
                !clash.empty())
                return {s, std::move(clash)};
        }
    }
    return {};
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

std::string PathKeys::operator()(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    // Spellings with "." or "..", or ending in "/", go the long way.
    if (path.empty() || error || absolute != absolute.lexically_normal() ||
        !absolute.has_filename())
        return pathKey(path);
    // A link is resolved where it leads.
    struct stat status {};
    if (::lstat(absolute.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) return pathKey(path);
    auto [folder, fresh] = folders_.try_emplace(absolute.parent_path().string());
    if (fresh) folder->second = pathKey(folder->first);
    return (std::filesystem::path(folder->second) / absolute.filename()).string();
}

std::vector<std::vector<size_t>> runOrderDependencies(const std::vector<std::string>& sources,
                                                      const std::vector<std::string>& outputs) {
    std::vector<std::string> readKeys;
    std::vector<std::string> writtenKeys;
    PathKeys keys;
    for (size_t j = 0; j < sources.size(); ++j) {
        readKeys.push_back(keys(sources[j]));
        writtenKeys.push_back(j < outputs.size() ? keys(outputs[j]) : std::string());
    }
    return runOrderDependenciesOfKeys(readKeys, writtenKeys);
}

std::vector<std::vector<size_t>> runOrderDependenciesOfKeys(
    const std::vector<std::string>& readKeys, const std::vector<std::string>& writtenKeys,
    bool writesConflict) {
    AccessOrder order(writesConflict);
    std::vector<std::vector<size_t>> dependencies;
    dependencies.reserve(readKeys.size());
    for (size_t j = 0; j < readKeys.size(); ++j)
        dependencies.push_back(order.add(readKeys[j], {writtenKeys[j]}));
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
    return runBatch(std::vector<SchemeItems>{{scheme, items}}, appFolder, reporter, observer, abort,
                    options);
}

std::string outputClash(const std::vector<SchemeItems>& runs) {
    return firstClash(runs).second;
}

std::vector<BatchOutcome> runBatch(const std::vector<SchemeItems>& runs,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options) {
    if (runs.empty()) return {};
    if (const auto [scheme, clash] = firstClash(runs); !clash.empty())
        return {runFailureOutcome(runs[scheme].scheme, clash)};
    std::vector<RunTask> tasks = tasksOf(runs);
    std::vector<Scheme> schemes;
    for (const SchemeItems& run : runs) schemes.push_back(run.scheme);
    const auto workers = std::min<size_t>(static_cast<size_t>(batchWorkerCount(options)),
                                          std::max<size_t>(tasks.size(), 1));
    BatchStream stream(std::move(schemes), appFolder, reporter, observer, abort, options, workers);
    stream.add(std::move(tasks));
    return stream.close();
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
