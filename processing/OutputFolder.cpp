#include "processing/OutputFolder.h"

#include "common/Reporter.h"

#include <filesystem>

namespace varnetto {

std::string printablePath(const std::string& path) {
    std::string shown;
    for (const char c : path) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return shown;
}

OutputFolderState outputFolderState(const std::string& folder) {
    if (folder.empty()) return OutputFolderState::Missing;
    // The system would read a shorter path: "/out/a\0b" names "/out/a".
    if (folder.find('\0') != std::string::npos) return OutputFolderState::NotAFolder;
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (error || !std::filesystem::exists(status)) return OutputFolderState::Missing;
    return std::filesystem::is_directory(status) ? OutputFolderState::Ready
                                                 : OutputFolderState::NotAFolder;
}

std::string ensureOutputFolder(const std::string& folder) {
    const OutputFolderState state = outputFolderState(folder);
    if (state == OutputFolderState::Ready) return {};
    std::error_code error;
    if (state == OutputFolderState::Missing && !folder.empty() &&
        std::filesystem::create_directory(folder, error) && !error)
        return {};
    return formatMessage("无法创建输出目录： %s，批量处理中止。", printablePath(folder).c_str());
}

}  // namespace varnetto
