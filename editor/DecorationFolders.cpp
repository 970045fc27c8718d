#include "editor/DecorationFolders.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace varnetto {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Names of the files in the sub folder of every folder where sets and stamps
// are looked for, each name once (the user's own first), sorted without
// regard to letter case (as the folders were listed where the sets were
// made), ties by bytes.
std::vector<std::string> fileNames(const AppFolders& folders, const char* sub) {
    std::vector<std::string> names;
    for (const std::string& root : folders.lookupOrder()) {
        std::error_code error;
        for (std::filesystem::directory_iterator it(std::filesystem::path(root) / sub, error), end;
             !error && it != end; it.increment(error)) {
            std::error_code kindError;
            std::string name = it->path().filename().string();
            if (it->is_regular_file(kindError) &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lowered(a);
        const std::string lb = lowered(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

}  // namespace

std::vector<std::string> borderSetNames(const AppFolders& folders) {
    std::vector<std::string> sets;
    for (const std::string& name : fileNames(folders, "Borders")) {
        // The pipeline asks for the pieces as "NAME_n.bmp": only that
        // spelling makes a set.
        if (!name.ends_with(".bmp") || name.size() < 6) continue;
        const std::string set = name.substr(0, name.size() - 6);
        if (std::find(sets.begin(), sets.end(), set) == sets.end()) sets.push_back(set);
    }
    return sets;
}

std::vector<StampFile> stampFiles(const AppFolders& folders) {
    const std::vector<std::string> names = fileNames(folders, "Stamps");
    std::vector<StampFile> stamps;
    for (const auto& [extension, code] :
         {std::pair{".bmp", kBmpStampCode}, std::pair{".jpg", kJpgStampCode}}) {
        for (const std::string& name : names) {
            if (!lowered(name).ends_with(extension)) continue;
            stamps.push_back({name.substr(0, name.size() - 4), name, code});
        }
    }
    return stamps;
}

}  // namespace varnetto
