#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

// The accepted input patterns, in the order every folder scan uses.
inline constexpr std::array<std::string_view, 11> extensionPatterns{
    "*.bmp", "*.gif", "*.jpg", "*.jpeg", "*.png", "*.wbmp",
    "*.wbm", "*.pcx", "*.psd", "*.tif",  "*.tiff"};

// True when the file name matches one of extensionPatterns (any letter case).
bool isAcceptedImageName(std::string_view fileName);

// The image files of folder (no subfolders): pattern by pattern in
// extensionPatterns order, names sorted within a pattern. Paths are
// folder + "/" + name. Temporary files of unfinished writes are left out.
std::vector<std::string> listFolderImages(const std::string& folder);

}  // namespace varnetto
