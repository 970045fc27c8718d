#pragma once

#include "schemes/Scheme.h"

#include <optional>
#include <string>

namespace varnetto {

// What the scheme manager opens with: the store file it edits a copy of and
// the picture its previews show.
struct ManagerRequest {
    std::string appFolder;
    std::string imagePath;
};

// The scheme the scheme viewer lists, or none (an empty list).
struct SchemeViewerRequest {
    std::optional<Scheme> scheme;
};

}  // namespace varnetto
