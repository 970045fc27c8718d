#pragma once

#include "imaging/CImageBox.h"

#include <functional>
#include <optional>
#include <string>

namespace varnetto {

// How a save puts its file in place.
struct SaveOptions {
    // Set: no file is ever replaced; the file takes the first free name of
    // path, numbered(path, 2), numbered(path, 3)..., each taken atomically.
    std::function<std::string(const std::string& path, int n)> numbered;
    // Set: the written file's modification time, in nanoseconds since the
    // epoch.
    std::optional<long long> modified;
};

// control.SaveToFile(path) under options; the report names the file written.
SaveReport saveToFile(const CImageBox& control, const std::string& path,
                      const SaveOptions& options);

}  // namespace varnetto
