#include "cli/RunCommand.h"

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/RunConsole.h"
#include "common/AppFolder.h"
#include "imaging/ImagingRuntime.h"
#include "processing/BatchRun.h"
#include "processing/ImageFiles.h"
#include "processing/MemoryBudget.h"
#include "processing/OutputFolder.h"
#include "processing/OutputNaming.h"
#include "processing/RunReport.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
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

int report(const std::vector<BatchOutcome>& outcomes, size_t total, size_t replaced) {
    size_t failed = 0;
    for (const BatchOutcome& o : outcomes)
        if (!o.ok()) ++failed;
    std::cerr << summaryLine(outcomes) << '\n';
    if (replaced > 0)
        std::cerr << replaced << " left out: a later image of the run writes the same file\n";
    for (const BatchOutcome& o : outcomes)
        if (!o.ok()) std::cerr << "  " << o.error << '\n';
    for (const BatchOutcome& o : outcomes)
        if (o.warned()) std::cerr << "  " << o.warning << '\n';
    if (outcomes.size() < total)
        std::cerr << "interrupted: " << total - outcomes.size() << " not processed\n";
    return failed == 0 && outcomes.size() == total ? kExitOk : kExitSomeFailed;
}

bool takeFlag(std::vector<std::string>& args, const std::string& name) {
    const auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

std::string absolutePath(const std::string& input) {
    std::error_code error;
    const auto path = std::filesystem::absolute(input, error);
    return error ? input : path.lexically_normal().string();
}

// Lists what the run would write, touching nothing. Names that would be
// refused are shown with the reason.
int printDryRun(const Scheme& scheme, const RunPlan& plan) {
    int refused = 0;
    for (const PlannedImage& image : plan.images) {
        const RunItem& item = image.item;
        std::string reason = checkOutputSubfolder(scheme.outputFolder, item.subfolder);
        if (reason.empty()) reason = checkOutputPath(schemeForItem(scheme, item), image.output);
        const std::string source = oneLine(item.source);
        if (!reason.empty()) {
            ++refused;
            std::cout << source << ": " << oneLine(reason) << '\n';
        } else if (image.replacedBy != 0) {
            std::cout << source << " -> " << oneLine(image.output) << " (left to image "
                      << image.replacedBy << ")\n";
        } else {
            std::cout << source << " -> " << oneLine(image.output) << '\n';
        }
    }
    std::cout.flush();
    return refused == 0 ? kExitOk : kExitSomeFailed;
}

}  // namespace

// A recursive walk leaves out the output folder of every scheme of the run,
// not only the first one's.
std::vector<RunItem> runItemsFor(const std::vector<std::string>& inputs, bool recursive,
                                 const std::vector<Scheme>& schemes) {
    std::vector<RunItem> items = collectRunItems(inputs, recursive, schemes.front().outputFolder);
    if (!recursive || schemes.size() == 1) return items;
    std::vector<std::string> skipped;
    for (size_t s = 1; s < schemes.size(); ++s)
        skipped.push_back(pathKey(schemes[s].outputFolder) + "/");
    std::vector<RunItem> kept;
    for (RunItem& item : items) {
        const std::string key = pathKey(item.source);
        if (std::any_of(skipped.begin(), skipped.end(),
                        [&](const std::string& folder) { return key.starts_with(folder); }))
            continue;
        item.index = static_cast<int>(kept.size()) + 1;
        kept.push_back(std::move(item));
    }
    return kept;
}

ExistingOutput takeExistingOutput(std::vector<std::string>& args) {
    const auto text = takeOption(args, "--existing");
    if (!text) return ExistingOutput::Replace;
    const auto mode = parseExistingOutput(*text);
    if (!mode)
        throw std::invalid_argument("--existing " + *text +
                                    ": not one of replace, skip, newer, number");
    return *mode;
}

RunRequest parseRunArguments(std::vector<std::string> args) {
    RunRequest request;
    // Everything after "--" is an INPUT, even when it looks like an option.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    std::vector<std::string> operands(optionsEnd == args.end() ? optionsEnd : optionsEnd + 1,
                                      args.end());
    args.erase(optionsEnd, args.end());
    while (const auto scheme = takeOption(args, "--scheme")) {
        if (std::find(request.schemeNames.begin(), request.schemeNames.end(), *scheme) !=
            request.schemeNames.end())
            throw std::invalid_argument("--scheme " + *scheme + " is given twice");
        request.schemeNames.push_back(*scheme);
    }
    if (request.schemeNames.empty()) throw std::invalid_argument("--scheme NAME is required");
    request.reportPath = takeOption(args, "--report");
    request.storePath = takeOption(args, "--store");
    request.appFolder = takeOption(args, "--app-folder");
    if (const auto jobs = takeOption(args, "--jobs")) request.jobs = parseJobs(*jobs);
    if (const auto memory = takeOption(args, "--memory")) {
        request.memory = parseMemorySize(*memory);
        if (request.memory == 0)
            throw std::invalid_argument("--memory needs a size such as 2G or 512M");
    }
    if (const auto shard = takeOption(args, "--shard")) {
        const auto parsed = parseShard(*shard);
        if (!parsed) throw std::invalid_argument("--shard needs K/N with 1 <= K <= N");
        request.shard = *parsed;
    }
    request.existing = takeExistingOutput(args);
    request.dryRun = takeFlag(args, "--dry-run");
    request.recursive = takeFlag(args, "--recursive");
    for (std::string& arg : args) {
        if (arg.size() > 1 && arg[0] == '-') throw std::invalid_argument("unknown option " + arg);
        request.inputs.push_back(std::move(arg));
    }
    for (std::string& operand : operands) request.inputs.push_back(std::move(operand));
    if (request.inputs.empty()) throw std::invalid_argument("no INPUT given");
    return request;
}

std::vector<RunItem> collectRunItems(const std::vector<std::string>& inputs, bool recursive,
                                     const std::string& outputFolder) {
    std::vector<RunItem> items;
    auto add = [&items](std::string source, std::string subfolder) {
        items.push_back(
            {static_cast<int>(items.size()) + 1, std::move(source), std::move(subfolder)});
    };
    for (const std::string& input : inputs) {
        const std::string absolute = absolutePath(input);
        std::error_code error;
        if (!std::filesystem::is_directory(absolute, error)) {
            add(absolute, {});
        } else if (recursive) {
            for (FolderImage& image : listFolderImagesRecursive(absolute, outputFolder))
                add(std::move(image.path), std::move(image.subfolder));
        } else {
            for (std::string& image : listFolderImages(absolute)) add(std::move(image), {});
        }
    }
    return items;
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

    const AppFolders appFolder =
        request.appFolder ? AppFolders(*request.appFolder) : currentAppFolders();
    SchemeStore store(appFolder);
    if (!loadStore(store, request.storePath)) return kExitUsage;
    const auto found = storedSchemes(store, request.schemeNames, "run");
    if (!found) return kExitUsage;
    const std::vector<Scheme>& schemes = *found;

    initImaging("varnetto-cli");
    const std::vector<RunItem> wholeRun = runItemsFor(request.inputs, request.recursive, schemes);
    // Refused before anything is written: the whole run is looked at, so
    // every shard refuses alike.
    std::vector<SchemeItems> wholeRuns;
    for (const Scheme& scheme : schemes) wholeRuns.push_back({scheme, wholeRun});
    if (const std::string clash = outputClash(wholeRuns); !clash.empty()) {
        std::cerr << "varnetto-cli run: " << clash << '\n';
        return kExitUsage;
    }
    std::vector<SchemeItems> runs;
    int dryRunStatus = kExitOk;
    size_t planned = 0;
    size_t total = 0;
    for (const Scheme& scheme : schemes) {
        const RunPlan plan = planRun(scheme, wholeRun, request.shard, request.existing);
        if (!plan.error.empty()) {
            std::cerr << "varnetto-cli run: " << plan.error << '\n';
            return kExitUsage;
        }
        if (request.dryRun) {
            if (schemes.size() > 1) std::cout << scheme.name << ":\n";
            if (printDryRun(scheme, plan) != kExitOk) dryRunStatus = kExitSomeFailed;
            continue;
        }
        runs.push_back({scheme, itemsToProcess(plan)});
        planned += plan.images.size();
        total += runs.back().items.size();
    }
    if (request.dryRun) return dryRunStatus;

    for (const SchemeItems& run : runs) {
        if (run.items.empty()) continue;
        if (const std::string error = ensureOutputFolder(run.scheme.outputFolder); !error.empty()) {
            std::cerr << error << '\n';
            return kExitSomeFailed;
        }
    }

    RunConsole console(std::cerr, total, wholeRun.size(), isatty(STDERR_FILENO) == 1);
    InterruptGuard guard;
    BatchOptions options;
    options.jobs = request.jobs;
    options.memoryBudget = request.memory;
    options.existing = request.existing;
    if (request.jobs > maxBatchWorkers()) {
        options.jobs = maxBatchWorkers();
        std::cerr << "varnetto-cli run: --jobs " << request.jobs << ": using " << options.jobs
                  << " (at most " << kWorkersPerCore << " per core)\n";
    }
    if (!options.errorsAttributed)
        std::cerr << "varnetto-cli run: libvips' error reports cannot be told apart by picture "
                     "here: the pictures run one at a time\n";
    const auto started = std::chrono::steady_clock::now();
    const auto outcomes = runBatch(runs, appFolder, console, &console, interrupted, options);
    console.close();
    const int status = report(outcomes, total, planned - total);
    if (!request.reportPath) return status;
    RunReportTotals totals;
    totals.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    if (request.shard.count > 1)
        totals.shard =
            std::to_string(request.shard.number) + "/" + std::to_string(request.shard.count);
    totals.notRun = total > outcomes.size() ? total - outcomes.size() : 0;
    if (const std::string error = writeRunReport(*request.reportPath, outcomes, totals);
        !error.empty()) {
        std::cerr << "varnetto-cli run: " << error << '\n';
        return kExitSomeFailed;
    }
    return status;
}

}  // namespace varnetto::cli
