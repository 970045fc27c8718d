#pragma once

#include "imaging/CImageBox.h"

#include <cstdint>
#include <string>

namespace varnetto {

// A save measured on part of a picture, scaled to the whole.
struct SampledSave {
    SaveReport report;   // bytes and the quality chosen, for the whole picture
    double share = 1.0;  // of the picture's rows encoded; 1: all of them
};

// What control.MeasureSave(extension) reports, encoding at most about
// maxPixels: a larger picture is measured on evenly spaced bands of whole
// rows joined into one picture. What a file holds whatever its pixels
// (headers, metadata) is measured apart and not scaled; a size limit is
// scaled like the pixels' bytes, so that the quality it chooses is the
// whole picture's. Throws ImagingError.
SampledSave MeasureSampledSave(const CImageBox& control, const std::string& extension,
                               std::int64_t maxPixels);

}  // namespace varnetto
