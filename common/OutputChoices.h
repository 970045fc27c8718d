#pragma once

// What a written picture keeps of its source, as a scheme chooses it and the
// savers apply it.

#include <cstdint>

namespace varnetto {

// What a written picture's colour profile becomes.
enum class ColorHandling : std::int32_t {
    KeepProfile = 0,    // kept where the format carries one, otherwise converted to sRGB
    ConvertToSrgb = 1,  // converted to sRGB and tagged sRGB in every format
};

// What a written picture keeps of EXIF, XMP and IPTC.
enum class MetadataHandling : std::int32_t {
    KeepAll = 0,
    RemovePersonal = 1,  // location, owner and serial numbers, maker notes
    RemoveAll = 2,       // everything but the colour profile and the resolution
};

}  // namespace varnetto
