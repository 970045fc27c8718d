#pragma once

// Codes that the imaging operations take and that a scheme stores as they
// stand. They live below both, so imaging and schemes share one meaning
// without depending on each other.

#include <cstdint>

namespace varnetto {

// What a picture holds, or what it is converted to.
enum class ColorType : std::int32_t {
    TrueColor24 = 0,
    Palette256 = 1,  // a palette of 256 colours, dithered
    Gray256 = 2,
    Palette16 = 3,  // a palette of 16 colours, dithered
    Gray16 = 4,
    Mono8 = 5,       // pure black and white by a threshold (no dithering), 8-bit grey
    BlackWhite = 6,  // 1 bit, dithered
    NoColor = 7,     // colours removed, still 24-bit RGB
};

inline constexpr bool isKnownColorType(ColorType type) {
    return type >= ColorType::TrueColor24 && type <= ColorType::NoColor;
}

// Filters offered for resampling; each maps to the nearest kernel libvips
// has.
enum class ResampleFilter : std::int32_t {
    Bilinear = 1,
    Hermite = 2,
    Bell = 3,
    Spline = 4,
    Lanczos = 5,
    Mitchell = 6,
};

enum class TiffCompression : std::int32_t {
    None = 0,
    PackBits = 1,
    Group4 = 2,  // CCITT Group 4, black and white only
};

enum class FlipDirection : std::int32_t {
    Horizontal = 0,
    Vertical = 1,
    None = 2,  // nothing chosen
};

}  // namespace varnetto
