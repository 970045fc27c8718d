#include "processing/OutputFolder.h"

#include "common/Reporter.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace varnetto {

std::string printablePath(const std::string& path) {
    std::string shown;
    for (const char c : path) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return shown;
}

namespace fs = std::filesystem;

namespace {

// Another process (a second shard of the same run) may create the folder
// between our look and our attempt; a folder there afterwards is what counts.
// error receives the system's reason when the folder is not there afterwards.
bool createdOrThere(const fs::path& folder, std::error_code& error) {
    fs::create_directory(folder, error);
    return outputFolderState(folder.string()) == OutputFolderState::Ready;
}

bool createdOrThere(const fs::path& folder) {
    std::error_code error;
    return createdOrThere(folder, error);
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
    // Only this picture fails here, so the message names the system's reason
    // and does not speak of the whole batch.
    const auto failed = [](const fs::path& level, const std::string& reason) {
        return formatMessage("无法创建输出子目录： %s（%s）", printablePath(level.string()).c_str(),
                             reason.c_str());
    };
    fs::path level = outputFolder;
    for (std::string_view part : partsOf(subfolder)) {
        if (part.empty() || part == "." || part == "..") return refused();
        level /= part;
        const OutputFolderState state = outputFolderState(level.string());
        if (state == OutputFolderState::NotAFolder) return failed(level, "不是目录");
        if (state == OutputFolderState::Ready) {
            if (!inside(outputFolder, level)) return refused();
        } else if (create) {
            std::error_code error;
            if (!createdOrThere(level, error))
                return failed(level, error ? error.message() : std::string("不是目录"));
            if (!inside(outputFolder, level)) return refused();
        }
    }
    return {};
}

}  // namespace

OutputFolderState outputFolderState(const std::string& folder) {
    if (folder.empty()) return OutputFolderState::Missing;
    // The system would read a shorter path: "/out/a\0b" names "/out/a".
    if (folder.find('\0') != std::string::npos) return OutputFolderState::NotAFolder;
    std::error_code error;
    const auto status = fs::status(folder, error);
    if (error || !fs::exists(status)) return OutputFolderState::Missing;
    return fs::is_directory(status) ? OutputFolderState::Ready : OutputFolderState::NotAFolder;
}

std::string ensureOutputFolder(const std::string& folder) {
    const OutputFolderState state = outputFolderState(folder);
    if (state == OutputFolderState::Ready) return {};
    if (state == OutputFolderState::Missing && !folder.empty() && createdOrThere(folder)) return {};
    return formatMessage("无法创建输出目录： %s，批量处理中止。", printablePath(folder).c_str());
}

std::string checkOutputSubfolder(const std::string& outputFolder, const std::string& subfolder) {
    return walkSubfolder(outputFolder, subfolder, false);
}

std::string makeOutputSubfolder(const std::string& outputFolder, const std::string& subfolder) {
    return walkSubfolder(outputFolder, subfolder, true);
}

}  // namespace varnetto
