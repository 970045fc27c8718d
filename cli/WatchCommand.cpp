#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/RunCommand.h"
#include "cli/RunConsole.h"
#include "common/AppFolder.h"
#include "imaging/ImagingRuntime.h"
#include "processing/BatchRun.h"
#include "processing/BatchStream.h"
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

// The run of a watch: one set of workers for its whole life, fed with the
// pictures as they arrive, as a run over them all would be.
class Watcher {
  public:
    Watcher(const WatchRequest& request, std::vector<Scheme> schemes, AppFolders appFolder)
        : request_(request),
          schemes_(std::move(schemes)),
          appFolder_(std::move(appFolder)),
          console_(std::cerr, 0, 0, isatty(STDERR_FILENO) == 1),
          stream_(schemes_, appFolder_, console_, &console_, interrupted, request.options) {
        for (const Scheme& scheme : schemes_)
            outputFolders_.push_back(pathKey(scheme.outputFolder) + "/");
    }

    // Hands every picture of the folders, or only those of pictures when
    // given, to the workers: through every scheme on one decode, numbered as
    // a run over the folders would number them now.
    void add(const std::set<std::string>* pictures) {
        std::vector<RunItem> items;
        for (RunItem& item : runItemsFor(presentFolders(), request_.recursive, schemes_))
            if (!pictures || pictures->count(item.source)) items.push_back(std::move(item));
        if (items.empty()) return;
        std::vector<size_t> ready;
        std::vector<SchemeItems> runs;
        for (size_t s = 0; s < schemes_.size(); ++s) {
            if (const std::string error = ensureOutputFolder(schemes_[s].outputFolder);
                !error.empty()) {
                std::cerr << error << '\n';
                continue;
            }
            ready.push_back(s);
            runs.push_back({schemes_[s], items});
        }
        if (ready.empty()) return;
        if (const std::string clash = outputClash(runs); !clash.empty()) {
            std::cerr << "varnetto-cli watch: " << clash << '\n';
            return;
        }
        console_.extend(items.size() * ready.size(), static_cast<size_t>(items.back().index));
        std::vector<RunTask> tasks;
        for (RunItem& item : items) tasks.push_back({std::move(item), ready});
        stream_.add(std::move(tasks));
    }

    // Takes what the workers finished; once they have finished everything
    // handed to them, says how it went.
    void collect() {
        const bool idle = stream_.idle();
        take(stream_.takeFinished());
        if (idle) report();
    }

    // The first pass ends before the watch says it is watching.
    void waitIdle() {
        stream_.waitIdle();
        collect();
    }

    // Lets the pictures in flight finish.
    void finish() {
        take(stream_.close());
        report();
    }

    // The pictures of change that are not this watch's own outputs. Those
    // where the workers write wait until the workers are idle: only then is
    // every output they wrote known.
    std::set<std::string> arrivals(const std::vector<std::string>& pictures) {
        deferred_.insert(pictures.begin(), pictures.end());
        const bool idle = stream_.idle();
        collect();
        std::set<std::string> arrived;
        for (auto picture = deferred_.begin(); picture != deferred_.end();) {
            if (!idle && receivesOutputs(*picture)) {
                ++picture;
                continue;
            }
            const auto it = written_.find(*picture);
            const auto now = writtenFile(*picture);
            if (it == written_.end() || !now || !sameFile(it->second, *now))
                arrived.insert(*picture);
            if (it != written_.end() && (!now || !sameFile(it->second, *now))) written_.erase(it);
            picture = deferred_.erase(picture);
        }
        return arrived;
    }

  private:
    void take(std::vector<BatchOutcome> outcomes) {
        for (BatchOutcome& o : outcomes) {
            if (o.ok() && !o.skipped && !o.output.empty())
                if (const auto file = writtenFile(o.output)) written_[o.output] = *file;
            finished_.push_back(std::move(o));
        }
    }

    void report() {
        if (finished_.empty()) return;
        console_.close();
        for (const Scheme& scheme : schemes_) {
            std::vector<BatchOutcome> own;
            std::copy_if(finished_.begin(), finished_.end(), std::back_inserter(own),
                         [&](const BatchOutcome& o) { return o.scheme == scheme.name; });
            if (!own.empty()) std::cerr << scheme.name << ": " << summaryLine(own) << '\n';
        }
        for (const BatchOutcome& o : finished_)
            if (!o.ok()) std::cerr << "  " << o.error << '\n';
        finished_.clear();
    }

    bool receivesOutputs(const std::string& picture) const {
        const std::string key = pathKey(picture);
        return std::any_of(outputFolders_.begin(), outputFolders_.end(),
                           [&](const std::string& folder) { return key.starts_with(folder); });
    }

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
    std::vector<std::string> outputFolders_;  // pathKey + "/"
    RunConsole console_;
    BatchStream stream_;
    std::vector<BatchOutcome> finished_;  // not yet reported
    std::set<std::string> deferred_;      // arrived while the workers wrote beside them
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
    watcher.add(nullptr);
    watcher.waitIdle();
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
            watcher.add(nullptr);
        } else if (const auto arrived = watcher.arrivals(change.pictures); !arrived.empty()) {
            watcher.add(&arrived);
        }
    }
    watcher.finish();
    std::cerr << "varnetto-cli watch: stopped\n";
    return kExitOk;
}

}  // namespace varnetto::cli
