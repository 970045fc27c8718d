#pragma once

#include "common/AppFolder.h"

#include <string>
#include <vector>

namespace varnetto {

// One picture of the stamp folder: its name in the list, its file's own
// name and the list's code for its kind.
struct StampFile {
    std::string name;      // the file name without its extension
    std::string fileName;  // as the folder spells it
    int code = 0;          // 0 BMP, 2 JPG
};

// The last entry of the border and stamp lists: pieces or a file of one's own.
inline constexpr const char* kCustomDecorationItem = "自定义...";

// Codes the stamp list gives its entries.
inline constexpr int kBmpStampCode = 0;
inline constexpr int kJpgStampCode = 2;

// The border sets of the Borders folders (the user's and the bundled one):
// every "*.bmp" gives the name before its last six characters ("_1.bmp"),
// each name once, in file name order.
std::vector<std::string> borderSetNames(const AppFolders& folders);

// The stamps of the Stamps folders: the BMP files, then the JPG files (of any
// letter case), each in file name order. A name may appear twice.
std::vector<StampFile> stampFiles(const AppFolders& folders);

}  // namespace varnetto
