#include "browser/FolderScan.h"

#include "processing/ImageFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

constexpr size_t kLargestBatch = 2000;

bool isNotFound(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory;
}

// Case-insensitive order; names equal but for case keep a fixed order.
void sortEntries(std::vector<TreeEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const TreeEntry& a, const TreeEntry& b) {
        const int order = QString::compare(a.label, b.label, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
}

}  // namespace

bool isTreeImageName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string tail(fileName.substr(dot));
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(
        extensionPatterns.begin(), extensionPatterns.end(),
        [&](std::string_view pattern) { return tail.starts_with(pattern.substr(1)); });
}

bool isHiddenName(std::string_view name) {
    return name.starts_with('.');
}

bool hasQualifyingEntry(const std::string& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (isHiddenName(name)) continue;
        std::error_code typeError;
        if (it->is_directory(typeError) || isTreeImageName(name)) return true;
    }
    return false;
}

std::string childPath(const std::string& path, const std::string& name) {
    return path.ends_with('/') ? path + name : path + "/" + name;
}

ScanResult scanFolder(const std::string& folder, const std::stop_token& stop,
                      const std::function<void(std::vector<TreeEntry>)>& deliver,
                      size_t firstBatch) {
    ScanResult result;
    std::vector<TreeEntry> folders;
    std::vector<TreeEntry> files;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        if (stop.stop_requested()) return {ScanOutcome::Cancelled, result.entryLeftOut};
        std::string name = it->path().filename().string();
        if (isHiddenName(name)) continue;
        // The types come from the listing itself; only links cost a look-up.
        std::error_code typeError;
        const bool isFolder = it->is_directory(typeError);
        if (typeError && !isNotFound(typeError)) {
            result.entryLeftOut = true;
            continue;
        }
        if (isFolder) {
            folders.push_back({std::move(name), {}, true, false});
        } else if (isTreeImageName(name) && it->is_regular_file(typeError)) {
            files.push_back({std::move(name), {}, false, false});
        }
    }
    if (error) return {ScanOutcome::Unreadable, result.entryLeftOut};
    for (auto* group : {&folders, &files}) {
        for (TreeEntry& entry : *group) entry.label = QString::fromStdString(entry.name);
        sortEntries(*group);
    }

    // Folders first, each with its expand test, then the files.
    std::vector<TreeEntry> batch;
    size_t batchSize = std::max<size_t>(1, firstBatch);
    auto flush = [&] {
        if (batch.empty()) return;
        deliver(std::move(batch));
        batch.clear();
        batchSize = std::min(kLargestBatch, batchSize * 2);
    };
    for (auto* group : {&folders, &files}) {
        for (TreeEntry& entry : *group) {
            if (stop.stop_requested()) return {ScanOutcome::Cancelled, result.entryLeftOut};
            if (entry.isFolder)
                entry.expandable = hasQualifyingEntry(childPath(folder, entry.name));
            batch.push_back(std::move(entry));
            if (batch.size() >= batchSize) flush();
        }
    }
    flush();
    return result;
}

}  // namespace varnetto
