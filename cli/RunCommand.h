#pragma once

#include "processing/BatchRun.h"
#include "processing/RunPlan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnetto::cli {

// What "run" was asked to do.
struct RunRequest {
    std::vector<std::string> schemeNames;  // in the order given; one at least
    std::optional<std::string> reportPath;
    std::optional<std::string> storePath;
    std::optional<std::string> appFolder;
    int jobs = 0;              // 0: one per core
    std::uint64_t memory = 0;  // bytes; 0: a quarter of the physical memory
    RunShard shard;
    ExistingOutput existing = ExistingOutput::Replace;
    bool dryRun = false;
    bool recursive = false;
    std::vector<std::string> inputs;
};

// The value of "--existing" taken out of args, Replace when absent. Throws
// std::invalid_argument naming a value it does not know.
ExistingOutput takeExistingOutput(std::vector<std::string>& args);

// Parses the arguments after "run". Throws std::invalid_argument on a usage
// error.
RunRequest parseRunArguments(std::vector<std::string> args);

// The images of the inputs in run order, numbered from 1: a folder gives its
// image files (with recursive, those of its subfolders too, each keeping its
// relative folder; the folder outputFolder is skipped), a file itself. Paths
// are made absolute so every source has a folder.
std::vector<RunItem> collectRunItems(const std::vector<std::string>& inputs, bool recursive,
                                     const std::string& outputFolder);

// collectRunItems for a run of several schemes: a recursive walk leaves out
// the output folder of each of them; the images stay numbered from 1.
std::vector<RunItem> runItemsFor(const std::vector<std::string>& inputs, bool recursive,
                                 const std::vector<Scheme>& schemes);

}  // namespace varnetto::cli
