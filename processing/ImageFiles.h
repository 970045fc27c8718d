#pragma once

#include "common/ImageFormats.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

// The accepted input patterns, in the order every folder scan uses, from the
// table of formats: the eleven classic ones, then the formats of phones and
// the web.
inline constexpr const auto& extensionPatterns = inputPatterns;

// True when the file name matches one of extensionPatterns (any letter case).
bool isAcceptedImageName(std::string_view fileName);

// The image files of folder (no subfolders): pattern by pattern in
// extensionPatterns order, names sorted within a pattern. Paths are
// folder + "/" + name. Temporary files of unfinished writes are left out.
std::vector<std::string> listFolderImages(const std::string& folder);

struct FolderImage {
    std::string path;
    std::string subfolder;  // relative to the scanned folder, "" for its own files
};

// The image files of folder and of its subfolders: first the folder's own,
// as listFolderImages gives them, then each subfolder's in name order, depth
// first. Links to folders are not followed (they could loop or lead
// anywhere), and the folder skip names (the run's output folder, which may
// lie inside) is left out with everything under it.
std::vector<FolderImage> listFolderImagesRecursive(const std::string& folder,
                                                   const std::string& skip = {});

}  // namespace varnetto
