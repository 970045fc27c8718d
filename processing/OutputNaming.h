#pragma once

#include "schemes/Scheme.h"

#include <string>

namespace varnetto {

// The output path of the image at 1-based index of its run. Builds text only.
// Empty when the naming mode is unknown or the source has no folder.
std::string outputPath(const Scheme& scheme, int index, const std::string& sourcePath);

// Empty when path is a safe output name inside scheme.outputFolder; otherwise
// a message saying why it is refused.
std::string checkOutputPath(const Scheme& scheme, const std::string& path);

}  // namespace varnetto
