#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnetto::cli {

// What "run" was asked to do.
struct RunRequest {
    std::string schemeName;
    std::optional<std::string> storePath;
    std::optional<std::string> appFolder;
    int jobs = 0;  // 0: one per core
    std::vector<std::string> inputs;
};

// Parses the arguments after "run". Throws std::invalid_argument on a usage
// error.
RunRequest parseRunArguments(std::vector<std::string> args);

// The images of the inputs in run order: a folder gives its image files, a
// file itself. Paths are made absolute so every source has a folder.
std::vector<std::string> collectRunSources(const std::vector<std::string>& inputs);

}  // namespace varnetto::cli
