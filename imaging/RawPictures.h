#pragma once

// Camera RAW files through LibRaw, for the files of imaging/ only. Decoded
// pictures are upright 16-bit sRGB (the camera's white balance, AHD
// demosaic, highlights clipped, no automatic brightening) and carry the
// camera, lens, exposure and capture time as EXIF.

#include "imaging/CImageBox.h"

#include <optional>
#include <string>

namespace varnetto::detail {

// What a RAW file's header tells without decoding its pixels.
struct RawFacts {
    int width = 0;  // the full decode, upright
    int height = 0;
};

// The facts when LibRaw takes the file for a camera RAW file; nullopt with
// LibRaw's reason otherwise.
std::optional<RawFacts> readRawFacts(const std::string& path, std::string& reason);

enum class RawDecode {
    Full,  // every pixel demosaiced
    Half,  // each 2 x 2 block of the mosaic one pixel: no demosaic, 1/2 size
};

// Throws ImagingError naming the file, with LibRaw's reason. With a
// descriptor, the file open there is read and path only names it.
Bitmap decodeRaw(const std::string& path, RawDecode size, int descriptor = -1);

// The camera's embedded preview, upright, 8-bit sRGB, when it covers
// minWidth x minHeight and has the picture's shape; nullopt otherwise (none,
// too small, unreadable: a decode then tells what is wrong).
std::optional<Bitmap> rawPreview(const std::string& path, int minWidth, int minHeight);

// An EXIF block (as libvips keeps it in "exif-data") of what the camera
// recorded; the picture it goes with is upright.
struct CaptureFacts {
    std::string make;
    std::string model;
    std::string lens;
    double exposureSeconds = 0;
    double fNumber = 0;
    double focalLength = 0;  // millimetres
    int iso = 0;
    std::string captureTime;  // "YYYY:MM:DD HH:MM:SS", or empty
};
std::string exifBlock(const CaptureFacts& facts);

}  // namespace varnetto::detail
