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

// Names of the files in folder, sorted without regard to letter case (as
// the folders were listed where the sets were made), ties by bytes.
std::vector<std::string> fileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kindError;
        if (it->is_regular_file(kindError)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lowered(a);
        const std::string lb = lowered(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::vector<std::string> borderSetNames(const std::string& appFolder) {
    std::vector<std::string> sets;
    for (const std::string& name : fileNames(std::filesystem::path(appFolder) / "Borders")) {
        // The pipeline asks for the pieces as "NAME_n.bmp": only that
        // spelling makes a set.
        if (!endsWith(name, ".bmp") || name.size() < 6) continue;
        const std::string set = name.substr(0, name.size() - 6);
        if (std::find(sets.begin(), sets.end(), set) == sets.end()) sets.push_back(set);
    }
    return sets;
}

std::vector<StampFile> stampFiles(const std::string& appFolder) {
    const std::vector<std::string> names = fileNames(std::filesystem::path(appFolder) / "Stamps");
    std::vector<StampFile> stamps;
    for (const auto& [extension, code] :
         {std::pair{".bmp", kBmpStampCode}, std::pair{".jpg", kJpgStampCode}}) {
        for (const std::string& name : names) {
            if (!endsWith(lowered(name), extension)) continue;
            stamps.push_back({name.substr(0, name.size() - 4), name, code});
        }
    }
    return stamps;
}

}  // namespace varnetto
