#pragma once

// What a picture will cost in memory, told from its header before any pixel
// is decoded, so that a run can keep its pictures within a memory budget.

#include "common/ImageFormats.h"

#include <cstdint>
#include <optional>
#include <string>

namespace varnetto {

struct PictureCost {
    FileKind kind = FileKind::Jpeg;
    int width = 0;  // as stored (EXIF orientation not applied)
    int height = 0;
    int bands = 4;
    // Bytes held at the peak of decoding the picture whole: the pixels
    // decoded plus what the decoder keeps besides them (a progressive JPEG
    // holds every coefficient until its last scan, ImageMagick its own pixel
    // cache, the GIF and WebP decoders a whole frame).
    std::uint64_t decodeBytes = 0;
    // Of decodeBytes, what the decoder holds besides the pixels: also held
    // when the picture is decoded top to bottom while it is written.
    std::uint64_t decoderBytes = 0;
};

// nullopt when the header cannot be read (the picture will then fail on its
// own, cheaply).
std::optional<PictureCost> pictureCost(const std::string& path);

}  // namespace varnetto
