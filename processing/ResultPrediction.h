#pragma once

#include "common/AppFolder.h"
#include "processing/PreviewCache.h"
#include "schemes/Scheme.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varnetto {

// What applying a scheme to one picture will write, as the editor shows it
// under its preview.
struct ResultPrediction {
    int width = 0;  // the output's pixels
    int height = 0;
    std::string fileName;  // from the naming rule, for this picture
    // For formats whose size follows their quality; 0 for others.
    std::int64_t bytes = 0;
    int quality = 0;      // the quality the size was measured at
    bool fits = true;     // false: over the size limit even at the lowest quality
    bool scaled = false;  // encoded smaller than the output and scaled up
    std::string failure;  // why nothing could be predicted
};

// Pictures up to this many output pixels are encoded at their full size;
// larger ones at the size of a box this many pixels a side, and the size
// scaled by the pixels.
inline constexpr int kPredictionBoxSide = 1600;

// Predicts scheme applied to sourcePath. Decodes come from cache; gives up
// (returning what it has) once stopRequested says so. Never throws.
ResultPrediction predictResult(PreviewCache& cache, const Scheme& scheme,
                               const std::string& sourcePath, const AppFolders& appFolder,
                               const std::function<bool()>& stopRequested = {});

}  // namespace varnetto
