#pragma once

#include <string>

namespace varnetto {

// The folder holding the running program file, without a trailing slash.
std::string applicationFolder();

// <application folder>/Schemes/Schemes.bis
std::string schemeStorePath(const std::string& appFolder);

}  // namespace varnetto
