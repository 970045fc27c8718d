#pragma once

#include "imaging/CImageBox.h"

#include <vector>

namespace varnetto {

// copies laid edge to edge: left to right when horizontal, top to bottom
// otherwise. A leading run of copies of one size is tiled in one step, so
// the work stays the same however long the run. Throws ImagingError.
Bitmap joinEdgeToEdge(const std::vector<Bitmap>& copies, bool horizontal);

// picture with its pixels held in memory, so drawing it many times computes
// nothing again. Throws ImagingError.
Bitmap heldInMemory(const Bitmap& picture);

}  // namespace varnetto
