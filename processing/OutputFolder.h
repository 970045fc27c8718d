#pragma once

#include <string>

namespace varnetto {

enum class OutputFolderState {
    Ready,       // a folder (or a link to one)
    Missing,     // nothing there, an empty name, or a path that cannot be read
    NotAFolder,  // something else stands in the way
};

OutputFolderState outputFolderState(const std::string& folder);

// Creates folder when it is missing: one level, no intermediate folders (a
// missing parent is a mistake in the scheme). Empty when the folder is ready
// afterwards; otherwise the message that stops the run.
std::string ensureOutputFolder(const std::string& folder);

// Checks that subfolder (relative, "/"-separated) names a folder inside
// outputFolder: no empty, "." or ".." part, and no folder already there that
// leads elsewhere (a link). Empty when it does; otherwise why not. Writes
// nothing.
std::string checkOutputSubfolder(const std::string& outputFolder, const std::string& subfolder);

// The same check, creating the missing levels one by one, each checked before
// anything is made inside it. Several processes may create the same levels at
// once. Empty subfolder: nothing to do.
std::string makeOutputSubfolder(const std::string& outputFolder, const std::string& subfolder);

}  // namespace varnetto
