#include "common/AppFolder.h"

#include <filesystem>

namespace varnetto {

std::string applicationFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return ".";
    return exe.parent_path().string();
}

std::string schemeStorePath(const std::string& appFolder) {
    return appFolder + "/Schemes/Schemes.bis";
}

}  // namespace varnetto
