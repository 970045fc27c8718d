#include "schemes/Scheme.h"

namespace varnetto {

std::string stampPathOf(const Scheme& scheme, const std::string& appFolder) {
    if (scheme.stampKind == stored(DecorationKind::Custom)) return scheme.stampPath;
    return appFolder + "/Stamps/" + scheme.stampFile;
}

std::array<std::string, 8> borderPiecePathsOf(const Scheme& scheme, const std::string& appFolder) {
    if (scheme.borderKind == stored(DecorationKind::Custom)) return scheme.borderPieceFiles;
    std::array<std::string, 8> paths;
    for (size_t i = 0; i < paths.size(); ++i)
        paths[i] =
            appFolder + "/Borders/" + scheme.borderName + "_" + std::to_string(i + 1) + ".bmp";
    return paths;
}

}  // namespace varnetto
