#pragma once

#include "schemes/Scheme.h"

#include <functional>
#include <string>

namespace varnetto {

enum class EditorMode : int { NewScheme = 0, EditScheme = 1, SingleImage = 2 };

// What the scheme editor opens with.
struct EditorRequest {
    EditorMode mode = EditorMode::EditScheme;
    std::string imagePath;  // the picture shown and processed
    std::string appFolder;
    // EditScheme: changed in place when the user saves; NewScheme: filled
    // when the user saves, for the caller to adopt; SingleImage: the start
    // values, or none.
    Scheme* scheme = nullptr;
    // Whether a scheme of that name exists already (the manager's list);
    // unset when the caller keeps no list to check against.
    std::function<bool(const std::string& name)> nameExists;
};

}  // namespace varnetto
