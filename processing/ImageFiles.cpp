#include "processing/ImageFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace varnetto {

namespace {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// A pattern "*.ext" matches a name that ends in ".ext" and has something
// before it.
bool matchesPattern(std::string_view fileName, std::string_view pattern) {
    const std::string_view suffix = pattern.substr(1);
    return fileName.size() > suffix.size() && endsWithNoCase(fileName, suffix);
}

}  // namespace

bool isAcceptedImageName(std::string_view fileName) {
    return std::any_of(extensionPatterns.begin(), extensionPatterns.end(),
                       [&](std::string_view p) { return matchesPattern(fileName, p); });
}

std::vector<std::string> listFolderImages(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());

    std::string base = folder;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base.empty() || base.back() != '/') base += '/';
    std::vector<std::string> paths;
    for (std::string_view pattern : extensionPatterns)
        for (const std::string& name : names)
            if (matchesPattern(name, pattern)) paths.push_back(base + name);
    return paths;
}

namespace {

void collectTree(const std::filesystem::path& folder, const std::string& subfolder,
                 const std::filesystem::path& skip, std::vector<FolderImage>& out) {
    for (std::string& path : listFolderImages(folder.string()))
        out.push_back({std::move(path), subfolder});
    std::vector<std::string> children;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !it->is_symlink(typeError))
            children.push_back(it->path().filename().string());
    }
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) {
        const std::filesystem::path path = folder / child;
        std::error_code sameError;
        if (!skip.empty() && std::filesystem::equivalent(path, skip, sameError)) continue;
        collectTree(path, subfolder.empty() ? child : subfolder + "/" + child, skip, out);
    }
}

}  // namespace

std::vector<FolderImage> listFolderImagesRecursive(const std::string& folder,
                                                   const std::string& skip) {
    std::vector<FolderImage> images;
    collectTree(folder, {}, skip, images);
    return images;
}

}  // namespace varnetto
