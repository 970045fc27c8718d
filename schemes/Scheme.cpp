#include "schemes/Scheme.h"

#include <filesystem>

namespace varnetto {

namespace {

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::array<std::string, 8> borderPieces(const std::string& folder, const std::string& name) {
    std::array<std::string, 8> paths;
    for (size_t i = 0; i < paths.size(); ++i)
        paths[i] = folder + "/Borders/" + name + "_" + std::to_string(i + 1) + ".bmp";
    return paths;
}

}  // namespace

std::string namedStampPath(const std::string& fileName, const AppFolders& folders) {
    const std::vector<std::string> order = folders.lookupOrder();
    for (const std::string& folder : order) {
        std::string path = folder + "/Stamps/" + fileName;
        if (exists(path)) return path;
    }
    return order.front() + "/Stamps/" + fileName;
}

std::string stampPathOf(const Scheme& scheme, const AppFolders& folders) {
    if (scheme.stampKind == stored(DecorationKind::Custom)) return scheme.stampPath;
    return namedStampPath(scheme.stampFile, folders);
}

std::array<std::string, 8> borderPiecePathsOf(const Scheme& scheme, const AppFolders& folders) {
    if (scheme.borderKind == stored(DecorationKind::Custom)) return scheme.borderPieceFiles;
    const std::vector<std::string> order = folders.lookupOrder();
    // A set comes whole from one folder: a user's set that leaves a piece out
    // is not filled up with bundled pieces.
    for (const std::string& folder : order) {
        auto paths = borderPieces(folder, scheme.borderName);
        for (const std::string& path : paths)
            if (exists(path)) return paths;
    }
    return borderPieces(order.front(), scheme.borderName);
}

}  // namespace varnetto
