#pragma once

#include "common/AppFolder.h"
#include "processing/PreviewCache.h"
#include "schemes/Scheme.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varnetto {

// What applying a scheme to one picture will write, as the editor shows it
// under its preview.
struct ResultPrediction {
    int width = 0;  // the output's pixels
    int height = 0;
    std::string fileName;  // from the naming rule, for this picture
    // For formats whose size follows their quality; 0 for others.
    std::int64_t bytes = 0;
    int quality = 0;     // the quality the size was measured at
    bool fits = true;    // false: over the size limit even at the lowest quality
    double share = 1.0;  // of the output's rows encoded; below 1 the size is scaled
    // What a run would warn of, as it says it: a caption or stamp cut off.
    std::vector<std::string> warnings;
    std::string failure;  // why nothing could be predicted
};

// Outputs up to this many pixels are encoded whole; of larger ones, bands of
// rows this many pixels together.
inline constexpr std::int64_t kPredictionPixels = 1600 * 1600;

// Predicts scheme applied to sourcePath by the steps and the encoder a run
// uses, on the whole decode (from cache), encoding in memory. Gives up
// (returning what it has) once stopRequested says so. Never throws.
ResultPrediction predictResult(PreviewCache& cache, const Scheme& scheme,
                               const std::string& sourcePath, const AppFolders& appFolder,
                               const std::function<bool()>& stopRequested = {});

}  // namespace varnetto
