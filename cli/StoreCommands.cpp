#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "common/AppFolder.h"
#include "common/PendingFile.h"
#include "schemes/SchemeJson.h"
#include "schemes/StoreFormat.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace varnetto::cli {

namespace {

// Parses "[--store FILE]" and nothing else.
std::optional<std::string> storeOnly(std::vector<std::string> args) {
    auto store = takeOption(args, "--store");
    if (!args.empty()) throw std::invalid_argument("unexpected argument " + args.front());
    return store;
}

}  // namespace

int listCommand(const std::vector<std::string>& args) {
    const auto storePath = storeOnly(args);
    SchemeStore store(applicationFolder());
    const bool ok = loadStore(store, storePath);
    std::string names;
    for (const Scheme& scheme : store) names += scheme.name + '\n';
    const int written = writeOutput("list", names);
    return ok ? written : kExitUsage;
}

int exportCommand(const std::vector<std::string>& args) {
    const auto storePath = storeOnly(args);
    SchemeStore store(applicationFolder());
    if (!loadStore(store, storePath)) return kExitUsage;
    return writeOutput("export", storeToJson(store).dump(2) + '\n');
}

int importCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    const auto storePath = takeOption(rest, "--store");
    if (rest.size() != 1) throw std::invalid_argument("import needs exactly one JSON file");
    const std::string jsonPath = rest.front();

    std::ifstream in(jsonPath, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << jsonPath << '\n';
        return kExitUsage;
    }
    JsonStore parsed;
    try {
        parsed = storeFromJson(nlohmann::json::parse(in));
    } catch (const nlohmann::json::exception& error) {
        std::cerr << jsonPath << ": " << error.what() << '\n';
        return kExitUsage;
    } catch (const JsonStoreError& error) {
        std::cerr << jsonPath << ": " << error.what() << '\n';
        return kExitUsage;
    }

    const std::string target = storePath ? *storePath : schemeStorePath(applicationFolder());
    try {
        writeFileAtomically(target, writeStoreBytes(parsed.header, parsed.schemes));
        // What an import that was killed left beside the store.
        removeStalePendingFiles(std::filesystem::path(target).parent_path(),
                                std::filesystem::file_time_type::clock::now());
    } catch (const std::system_error& error) {
        std::cerr << "cannot write " << target << ": " << error.code().message() << '\n';
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace varnetto::cli
