#pragma once

// Pictures with known content for the imaging tests, made in code.

#include "imaging/CImageBox.h"

#include <Magick++.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace varnetto::testing {

using vips::VImage;

inline VImage solid(int width, int height, std::vector<double> color) {
    const int bands = static_cast<int>(color.size());
    VImage black = VImage::black(width, height, VImage::option()->set("bands", bands));
    return (black + color)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set(
            "interpretation", bands <= 2 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
}

// Left half red, right half blue.
inline VImage redBlue(int width, int height) {
    return solid(width / 2, height, {255, 0, 0})
        .join(solid(width - width / 2, height, {0, 0, 255}), VIPS_DIRECTION_HORIZONTAL);
}

// A smooth colour field: red grows to the right, green downwards, blue along
// the diagonal, so it holds thousands of colours.
inline VImage colorField(int width, int height) {
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0] * (255.0 / std::max(1, width - 1));
    const VImage y = xy[1] * (255.0 / std::max(1, height - 1));
    return VImage::bandjoin({x, y, (x + y) / 2})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

inline std::vector<int> pixel(const VImage& image, int x, int y) {
    std::vector<int> out;
    for (double v : image.getpoint(x, y)) out.push_back(static_cast<int>(v + 0.5));
    return out;
}

// Distinct pixel values of an 8-bit image (all bands together).
inline std::size_t distinctColors(const VImage& image) {
    const VImage memory = image.cast(VIPS_FORMAT_UCHAR).copy_memory();
    const auto* data = static_cast<const unsigned char*>(memory.data());
    const int bands = memory.bands();
    std::set<std::uint64_t> seen;
    const std::size_t count = static_cast<std::size_t>(memory.width()) * memory.height();
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t key = 0;
        for (int b = 0; b < bands; ++b) key = (key << 8) | data[i * bands + b];
        seen.insert(key);
    }
    return seen.size();
}

inline bool isGrayContent(const VImage& image) {
    if (image.bands() < 3) return true;
    const VImage r = image[0], g = image[1], b = image[2];
    return (r == g).min() == 255 && (g == b).min() == 255;
}

// Writes with ImageMagick in a named format (for the formats libvips cannot
// write itself); type is applied before writing.
inline void writeMagick(const VImage& rgb, const std::string& format, const std::string& path,
                        Magick::ImageType type = Magick::TrueColorType) {
    const VImage memory = rgb.copy_memory();
    Magick::Image out(memory.width(), memory.height(), memory.bands() == 1 ? "I" : "RGB",
                      Magick::CharPixel, memory.data());
    out.quiet(true);
    out.depth(8);
    out.type(type);
    out.write(format + ":" + path);
}

inline Magick::Image readMagick(const std::string& format, const std::string& path) {
    Magick::Image image;
    image.quiet(true);
    image.read(format + ":" + path);
    return image;
}

// The value of a TIFF tag in the first directory, or -1.
inline long tiffTag(const std::string& bytes, int tag) {
    if (bytes.size() < 8) return -1;
    const bool little = bytes[0] == 'I';
    auto u16 = [&](std::size_t at) -> unsigned {
        const auto a = static_cast<unsigned char>(bytes.at(at));
        const auto b = static_cast<unsigned char>(bytes.at(at + 1));
        return little ? a | (b << 8) : (a << 8) | b;
    };
    auto u32 = [&](std::size_t at) -> unsigned long {
        return little ? u16(at) | (static_cast<unsigned long>(u16(at + 2)) << 16)
                      : (static_cast<unsigned long>(u16(at)) << 16) | u16(at + 2);
    };
    const std::size_t directory = u32(4);
    const unsigned entries = u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        if (static_cast<int>(u16(entry)) == tag)
            return u16(entry + 2) == 3 ? static_cast<long>(u16(entry + 8))
                                       : static_cast<long>(u32(entry + 8));
    }
    return -1;
}

// Mean absolute difference between two images of the same size.
inline double meanDifference(const VImage& a, const VImage& b) {
    return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

}  // namespace varnetto::testing
