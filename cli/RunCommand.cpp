#include "cli/RunCommand.h"

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "common/AppFolder.h"
#include "imaging/ImagingRuntime.h"
#include "processing/BatchRun.h"
#include "processing/ImageFiles.h"
#include "processing/OutputFolder.h"

#include <signal.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <stdexcept>

namespace varnetto::cli {

namespace {

int parseJobs(const std::string& text) {
    size_t used = 0;
    int jobs = 0;
    try {
        jobs = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || jobs < 1)
        throw std::invalid_argument("--jobs needs a positive number");
    return jobs;
}

// Workers report through here; one line at a time reaches stderr.
class RunConsole final : public Reporter, public BatchObserver {
  public:
    explicit RunConsole(size_t total) : total_(total) {}

    void message(std::string_view text, MessageKind) override {
        std::lock_guard lock(mutex_);
        std::cerr << text << '\n';
    }
    bool ask(std::string_view text, MessageKind) override {
        std::lock_guard lock(mutex_);
        std::cerr << text << " (no)\n";
        return false;
    }
    void imageStarted(int index, const std::string& source) override {
        std::lock_guard lock(mutex_);
        std::cerr << '[' << index << '/' << total_ << "] " << source << '\n';
    }
    void imageFinished(const BatchOutcome&) override {}

  private:
    std::mutex mutex_;
    size_t total_;
};

// Ctrl+C, a terminal that hangs up and a polite kill all let running images
// finish (their temporary files are then renamed or removed) and start no
// new one.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int) {
    interrupted = true;
}

class InterruptGuard {
  public:
    InterruptGuard() {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        // Reads and writes the signal meets on any thread carry on.
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < kSignals.size(); ++i)
            ::sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~InterruptGuard() {
        for (size_t i = 0; i < kSignals.size(); ++i)
            ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

int report(const std::vector<BatchOutcome>& outcomes, size_t total) {
    size_t failed = 0;
    size_t warned = 0;
    for (const BatchOutcome& o : outcomes) {
        if (!o.ok()) ++failed;
        if (o.ok() && !o.warning.empty()) ++warned;
    }
    const size_t processed = outcomes.size() - failed;
    std::cerr << processed << " processed (" << warned << " with warnings), " << failed
              << " failed\n";
    for (const BatchOutcome& o : outcomes)
        if (!o.ok()) std::cerr << "  " << o.error << '\n';
    for (const BatchOutcome& o : outcomes)
        if (o.ok() && !o.warning.empty()) std::cerr << "  " << o.warning << '\n';
    if (outcomes.size() < total)
        std::cerr << "interrupted: " << total - outcomes.size() << " not processed\n";
    return failed == 0 && outcomes.size() == total ? kExitOk : kExitSomeFailed;
}

}  // namespace

RunRequest parseRunArguments(std::vector<std::string> args) {
    RunRequest request;
    const auto scheme = takeOption(args, "--scheme");
    if (!scheme) throw std::invalid_argument("--scheme NAME is required");
    request.schemeName = *scheme;
    request.storePath = takeOption(args, "--store");
    request.appFolder = takeOption(args, "--app-folder");
    if (const auto jobs = takeOption(args, "--jobs")) request.jobs = parseJobs(*jobs);
    bool optionsEnded = false;
    for (std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            throw std::invalid_argument("unknown option " + arg);
        } else {
            request.inputs.push_back(std::move(arg));
        }
    }
    if (request.inputs.empty()) throw std::invalid_argument("no INPUT given");
    return request;
}

std::vector<std::string> collectRunSources(const std::vector<std::string>& inputs) {
    std::vector<std::string> sources;
    for (const std::string& input : inputs) {
        std::error_code error;
        auto path = std::filesystem::absolute(input, error);
        const std::string absolute = error ? input : path.lexically_normal().string();
        if (std::filesystem::is_directory(absolute, error)) {
            for (std::string& image : listFolderImages(absolute))
                sources.push_back(std::move(image));
        } else {
            sources.push_back(absolute);
        }
    }
    return sources;
}

int runCommand(const std::vector<std::string>& args) {
    RunRequest request;
    try {
        request = parseRunArguments(args);
    } catch (const std::invalid_argument& error) {
        std::cerr << "varnetto-cli run: " << error.what() << '\n';
        printUsage();
        return kExitUsage;
    }

    const std::string appFolder = request.appFolder ? *request.appFolder : applicationFolder();
    SchemeStore store(appFolder);
    if (!loadStore(store, request.storePath)) return kExitUsage;
    const Scheme* found = store.findByName(request.schemeName);
    if (!found) {
        std::cerr << "varnetto-cli run: no scheme named \"" << request.schemeName << "\" in "
                  << store.path() << '\n';
        return kExitUsage;
    }
    const Scheme scheme = *found;

    initImaging("varnetto-cli");
    const std::vector<std::string> sources = collectRunSources(request.inputs);
    if (!sources.empty()) {
        if (const std::string error = ensureOutputFolder(scheme.outputFolder); !error.empty()) {
            std::cerr << error << '\n';
            return kExitSomeFailed;
        }
    }

    RunConsole console(sources.size());
    InterruptGuard guard;
    BatchOptions options;
    options.jobs = request.jobs;
    if (request.jobs > maxBatchWorkers()) {
        options.jobs = maxBatchWorkers();
        std::cerr << "varnetto-cli run: --jobs " << request.jobs << ": using " << options.jobs
                  << " (at most " << kWorkersPerCore << " per core)\n";
    }
    const auto outcomes =
        runBatch(scheme, sources, appFolder, console, &console, interrupted, options);
    return report(outcomes, sources.size());
}

}  // namespace varnetto::cli
