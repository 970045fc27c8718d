#pragma once

#include "imaging/CImageBox.h"

#include <cstddef>
#include <memory>

namespace varnetto {

// Frees a buffer libvips handed out.
struct LibvipsBufferFree {
    void operator()(unsigned char* buffer) const;
};

// 8-bit sRGB pixels for the screen, rows one after another without padding.
struct DisplayPixels {
    int width = 0;
    int height = 0;
    int bands = 0;           // 3 (RGB) or 4 (RGBA, alpha not premultiplied)
    std::size_t stride = 0;  // bytes per row
    std::unique_ptr<unsigned char[], LibvipsBufferFree> data;

    const unsigned char* row(int y) const {
        return data.get() + stride * static_cast<std::size_t>(y);
    }
};

// Renders image for the screen: converted to sRGB, one or two grey bands
// widened to RGB (alpha kept), more than four bands cut to four. Throws
// ImagingError.
DisplayPixels toDisplayPixels(const Bitmap& image);

}  // namespace varnetto
