#include "processing/OutputFolder.h"

#include "common/Reporter.h"

#include <filesystem>

namespace varnetto {

OutputFolderState outputFolderState(const std::string& folder) {
    if (folder.empty()) return OutputFolderState::Missing;
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
    return formatMessage("无法创建输出目录： %s，批量处理中止。", folder.c_str());
}

}  // namespace varnetto
