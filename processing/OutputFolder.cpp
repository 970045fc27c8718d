#include "processing/OutputFolder.h"

#include "common/Reporter.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

// Another process (a second shard of the same run) may create the folder
// between our look and our attempt; a folder there afterwards is what counts.
bool createdOrThere(const fs::path& folder) {
    std::error_code error;
    fs::create_directory(folder, error);
    return outputFolderState(folder.string()) == OutputFolderState::Ready;
}

std::vector<std::string_view> partsOf(std::string_view relative) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t slash = relative.find('/', start);
        parts.push_back(relative.substr(start, slash - start));
        if (slash == std::string_view::npos) return parts;
        start = slash + 1;
    }
}

bool inside(const fs::path& root, const fs::path& path) {
    std::error_code error;
    const fs::path canonicalRoot = fs::weakly_canonical(root, error);
    if (error) return false;
    const fs::path resolved = fs::weakly_canonical(path, error);
    if (error) return false;
    const auto rel = resolved.lexically_relative(canonicalRoot);
    return !rel.empty() && *rel.begin() != "..";
}

std::string walkSubfolder(const std::string& outputFolder, const std::string& subfolder,
                          bool create) {
    if (subfolder.empty()) return {};
    const auto refused = [&] {
        return formatMessage("输出子目录 %s 不在输出目录 %s 中。", subfolder.c_str(),
                             outputFolder.c_str());
    };
    if (subfolder.find('\0') != std::string::npos || subfolder.front() == '/') return refused();
    fs::path level = outputFolder;
    for (std::string_view part : partsOf(subfolder)) {
        if (part.empty() || part == "." || part == "..") return refused();
        level /= part;
        const OutputFolderState state = outputFolderState(level.string());
        if (state == OutputFolderState::NotAFolder)
            return formatMessage("无法创建输出目录： %s，批量处理中止。", level.c_str());
        if (state == OutputFolderState::Ready) {
            if (!inside(outputFolder, level)) return refused();
        } else if (create) {
            if (!createdOrThere(level) || !inside(outputFolder, level))
                return formatMessage("无法创建输出目录： %s，批量处理中止。", level.c_str());
        }
    }
    return {};
}

}  // namespace

OutputFolderState outputFolderState(const std::string& folder) {
    if (folder.empty()) return OutputFolderState::Missing;
    std::error_code error;
    const auto status = fs::status(folder, error);
    if (error || !fs::exists(status)) return OutputFolderState::Missing;
    return fs::is_directory(status) ? OutputFolderState::Ready : OutputFolderState::NotAFolder;
}

std::string ensureOutputFolder(const std::string& folder) {
    const OutputFolderState state = outputFolderState(folder);
    if (state == OutputFolderState::Ready) return {};
    if (state == OutputFolderState::Missing && !folder.empty() && createdOrThere(folder)) return {};
    return formatMessage("无法创建输出目录： %s，批量处理中止。", folder.c_str());
}

std::string checkOutputSubfolder(const std::string& outputFolder, const std::string& subfolder) {
    return walkSubfolder(outputFolder, subfolder, false);
}

std::string makeOutputSubfolder(const std::string& outputFolder, const std::string& subfolder) {
    return walkSubfolder(outputFolder, subfolder, true);
}

}  // namespace varnetto
