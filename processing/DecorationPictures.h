#pragma once

#include "imaging/CImageBox.h"

#include <string>

namespace varnetto {

// Where the pipeline takes the pictures of stamps and border pieces from:
// previews keep them decoded between renders instead of reading the files
// each time.
class DecorationPictures {
  public:
    virtual ~DecorationPictures() = default;
    // The picture of the file at path, decoded as CImageBox::LoadFromFile
    // does. Throws ImagingError naming the file.
    virtual Bitmap picture(const std::string& path) = 0;
};

}  // namespace varnetto
