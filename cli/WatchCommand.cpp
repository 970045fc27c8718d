#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/RunCommand.h"
#include "cli/RunConsole.h"
#include "common/AppFolder.h"
#include "imaging/ImagingRuntime.h"
#include "processing/BatchRun.h"
#include "processing/FolderWatch.h"
#include "processing/MemoryBudget.h"
#include "processing/OutputFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

namespace varnetto::cli {

namespace {

// How long a wait for events lasts before an interruption is looked at.
constexpr std::chrono::milliseconds kInterruptCheck{300};

struct WatchRequest {
    std::vector<std::string> schemeNames;
    std::optional<std::string> storePath;
    std::optional<std::string> appFolder;
    BatchOptions options;
    bool recursive = false;
    std::vector<std::string> folders;
};

WatchRequest parseWatchArguments(std::vector<std::string> args) {
    WatchRequest request;
    while (const auto scheme = takeOption(args, "--scheme")) request.schemeNames.push_back(*scheme);
    if (request.schemeNames.empty()) throw std::invalid_argument("--scheme NAME is required");
    request.storePath = takeOption(args, "--store");
    request.appFolder = takeOption(args, "--app-folder");
    // What is done already stays done: a restarted watch redoes nothing.
    const bool given = std::find(args.begin(), args.end(), "--existing") != args.end();
    request.options.existing = given ? takeExistingOutput(args) : ExistingOutput::Newer;
    // "run" refuses bad values of the options both take.
    std::vector<std::string> shared{"--scheme", "-"};
    if (const auto jobs = takeOption(args, "--jobs"))
        shared.insert(shared.end(), {"--jobs", *jobs});
    if (const auto memory = takeOption(args, "--memory"))
        shared.insert(shared.end(), {"--memory", *memory});
    shared.insert(shared.end(), {"--", "-"});
    const RunRequest checked = parseRunArguments(shared);
    request.options.jobs = std::min(checked.jobs, maxBatchWorkers());
    request.options.memoryBudget = checked.memory;
    request.recursive = std::erase(args, "--recursive") > 0;
    for (std::string& arg : args) {
        if (arg.size() > 1 && arg[0] == '-') throw std::invalid_argument("unknown option " + arg);
        std::error_code error;
        const auto absolute = std::filesystem::absolute(arg, error);
        request.folders.push_back(error ? arg : absolute.lexically_normal().string());
    }
    if (request.folders.empty()) throw std::invalid_argument("no FOLDER given");
    return request;
}

// An output this watch wrote, as it left it: an event for that very file is
// its own echo, not a new picture.
struct WrittenFile {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
};

std::optional<WrittenFile> writtenFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return WrittenFile{status.st_dev, status.st_ino, status.st_mtim};
}

bool sameFile(const WrittenFile& a, const WrittenFile& b) {
    return a.device == b.device && a.inode == b.inode && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec;
}

class Watcher {
  public:
    Watcher(const WatchRequest& request, std::vector<Scheme> schemes, AppFolders appFolder)
        : request_(request), schemes_(std::move(schemes)), appFolder_(std::move(appFolder)) {}

    // Every picture of the folders, or only those of pictures when given,
    // through every scheme on one decode, numbered as a run over the folders
    // would number them now.
    bool process(const std::set<std::string>* pictures) {
        std::vector<RunItem> items;
        for (RunItem& item : runItemsFor(presentFolders(), request_.recursive, schemes_))
            if (!pictures || pictures->count(item.source)) items.push_back(std::move(item));
        if (items.empty()) return true;
        bool allWent = true;
        std::vector<SchemeItems> runs;
        for (const Scheme& scheme : schemes_) {
            if (const std::string error = ensureOutputFolder(scheme.outputFolder); !error.empty()) {
                std::cerr << error << '\n';
                allWent = false;
                continue;
            }
            runs.push_back({scheme, items});
        }
        if (runs.empty()) return allWent;
        RunConsole console(std::cerr, items.size() * runs.size(), items.back().index,
                           isatty(STDERR_FILENO) == 1);
        const auto outcomes =
            runBatch(runs, appFolder_, console, &console, interrupted, request_.options);
        console.close();
        for (const SchemeItems& run : runs) {
            std::vector<BatchOutcome> own;
            std::copy_if(outcomes.begin(), outcomes.end(), std::back_inserter(own),
                         [&](const BatchOutcome& o) { return o.scheme == run.scheme.name; });
            std::cerr << run.scheme.name << ": " << summaryLine(own) << '\n';
        }
        for (const BatchOutcome& o : outcomes) {
            if (!o.ok()) {
                allWent = false;
                std::cerr << "  " << o.error << '\n';
            } else if (!o.skipped && !o.output.empty()) {
                if (const auto file = writtenFile(o.output)) written_[o.output] = *file;
            }
        }
        return allWent;
    }

    // The pictures of change that are not this watch's own outputs.
    std::set<std::string> arrivals(const std::vector<std::string>& pictures) {
        std::set<std::string> arrived;
        for (const std::string& picture : pictures) {
            const auto it = written_.find(picture);
            const auto now = writtenFile(picture);
            if (it != written_.end() && now && sameFile(it->second, *now)) continue;
            if (it != written_.end()) written_.erase(it);
            arrived.insert(picture);
        }
        return arrived;
    }

  private:
    std::vector<std::string> presentFolders() const {
        std::vector<std::string> present;
        for (const std::string& folder : request_.folders) {
            std::error_code error;
            if (std::filesystem::is_directory(folder, error)) present.push_back(folder);
        }
        return present;
    }

    const WatchRequest& request_;
    std::vector<Scheme> schemes_;
    AppFolders appFolder_;
    std::map<std::string, WrittenFile> written_;
};

}  // namespace

int watchCommand(const std::vector<std::string>& args) {
    WatchRequest request;
    try {
        request = parseWatchArguments(args);
    } catch (const std::invalid_argument& error) {
        std::cerr << "varnetto-cli watch: " << error.what() << '\n';
        printUsage();
        return kExitUsage;
    }
    const AppFolders appFolder =
        request.appFolder ? AppFolders(*request.appFolder) : currentAppFolders();
    SchemeStore store(appFolder);
    if (!loadStore(store, request.storePath)) return kExitUsage;
    auto schemes = storedSchemes(store, request.schemeNames, "watch");
    if (!schemes) return kExitUsage;
    std::vector<std::string> outputFolders;
    for (const Scheme& scheme : *schemes) outputFolders.push_back(scheme.outputFolder);

    initImaging("varnetto-cli");
    const InterruptGuard guard;
    // Watched before the first pass: nothing arriving meanwhile is missed.
    FolderWatch watch(request.folders, request.recursive, outputFolders);
    for (const std::string& missing : watch.missingFolders())
        std::cerr << "varnetto-cli watch: folder " << missing
                  << " is missing; watching for it to appear\n";
    Watcher watcher(request, std::move(*schemes), appFolder);
    watcher.process(nullptr);
    for (const std::string& folder : request.folders)
        std::cerr << "varnetto-cli watch: watching " << folder << '\n';
    while (!interrupted) {
        const FolderWatch::Change change = watch.wait(kInterruptCheck);
        for (const std::string& lost : change.lost)
            std::cerr << "varnetto-cli watch: folder " << lost
                      << " went away; watching for it to come back\n";
        for (const std::string& appeared : change.appeared)
            std::cerr << "varnetto-cli watch: watching " << appeared << '\n';
        if (change.overflowed) {
            // Events were lost: what changed is found as a restart finds it.
            watcher.process(nullptr);
        } else if (const auto arrived = watcher.arrivals(change.pictures); !arrived.empty()) {
            watcher.process(&arrived);
        }
    }
    std::cerr << "varnetto-cli watch: stopped\n";
    return kExitOk;
}

}  // namespace varnetto::cli
