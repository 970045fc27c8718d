#pragma once

#include "uikit/UserDialogs.h"

#include <string>

namespace varnetto {

// Opens the scheme editor on picture, changes its settings and prints one
// line of figures.
int editorBench(UserDialogs& dialogs, const std::string& picture, const std::string& appFolder);

}  // namespace varnetto
