#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "common/AppFolder.h"
#include "common/PendingFile.h"
#include "schemes/SchemeJson.h"
#include "schemes/SchemeViewRows.h"
#include "schemes/StoreFormat.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>

namespace varnetto::cli {

namespace {

// Parses JSON refusing a key given twice in one object, which the parser
// would otherwise take silently, the last one winning.
nlohmann::json parseWithoutDuplicateKeys(std::istream& in) {
    std::vector<std::set<std::string>> keys;
    return nlohmann::json::parse(in, [&keys](int, nlohmann::json::parse_event_t event,
                                             nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if (event == Event::object_start) {
            keys.emplace_back();
        } else if (event == Event::object_end) {
            keys.pop_back();
        } else if (event == Event::key && !keys.back().insert(parsed.get<std::string>()).second) {
            throw JsonStoreError("duplicate key \"" + parsed.get<std::string>() + "\"");
        }
        return true;
    });
}

// Parses "[--store FILE]" and nothing else.
std::optional<std::string> storeOnly(std::vector<std::string> args) {
    auto store = takeOption(args, "--store");
    if (!args.empty()) throw std::invalid_argument("unexpected argument " + args.front());
    return store;
}

}  // namespace

int listCommand(const std::vector<std::string>& args) {
    const auto storePath = storeOnly(args);
    SchemeStore store(currentAppFolders());
    const bool ok = loadStore(store, storePath);
    std::string names;
    for (const Scheme& scheme : store) names += scheme.name + '\n';
    const int written = writeOutput("list", names);
    return ok ? written : kExitUsage;
}

int exportCommand(const std::vector<std::string>& args) {
    const auto storePath = storeOnly(args);
    SchemeStore store(currentAppFolders());
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
        parsed = storeFromJson(parseWithoutDuplicateKeys(in));
    } catch (const nlohmann::json::exception& error) {
        std::cerr << jsonPath << ": " << error.what() << '\n';
        return kExitUsage;
    } catch (const JsonStoreError& error) {
        std::cerr << jsonPath << ": " << error.what() << '\n';
        return kExitUsage;
    }

    const AppFolders folders = currentAppFolders();
    const std::string target = storePath ? *storePath : folders.storePath();
    // An import replaces the whole store: the user's needs only its folder.
    std::error_code ignored;
    if (!storePath && !folders.user.empty())
        std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ignored);
    // Loading refuses a store above its size limit: such a store is not
    // written at all.
    const std::string bytes = writeStoreBytes(parsed.header, parsed.schemes);
    if (const std::string refusal = storeSizeRefusal(parsed.header, parsed.schemes, bytes.size());
        !refusal.empty()) {
        std::cerr << jsonPath << ": " << refusal << '\n';
        return kExitUsage;
    }
    try {
        writeFileAtomically(target, bytes);
        // What an import that was killed left beside the store.
        removeStalePendingFilesBeside(target, std::filesystem::file_time_type::clock::now());
    } catch (const std::system_error& error) {
        std::cerr << "cannot write " << target << ": " << error.code().message() << '\n';
        return kExitUsage;
    }
    return kExitOk;
}

int showCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    const auto storePath = takeOption(rest, "--store");
    if (rest.size() != 1) throw std::invalid_argument("show needs exactly one scheme name");
    SchemeStore store(currentAppFolders());
    if (!loadStore(store, storePath)) return kExitUsage;
    const Scheme* scheme = store.findByName(rest.front());
    if (!scheme) {
        std::cerr << "varnetto-cli show: no scheme named " << rest.front() << " in " << store.path()
                  << '\n';
        return kExitUsage;
    }
    std::string text;
    for (const SchemeViewRow& row : schemeViewRows(*scheme)) {
        if (!row.label.empty() || !row.value.empty())
            text += oneLine(row.label) + '\t' + oneLine(row.value);
        text += '\n';
    }
    return writeOutput("show", text);
}

}  // namespace varnetto::cli
