#include "tests/rawsamples/DngSamples.h"

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace varnetto::rawsamples {

namespace {

enum Type : std::uint16_t {
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    SRational = 10
};

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::string data;  // little-endian values
};

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

Entry shorts(std::uint16_t tag, std::initializer_list<std::uint32_t> values) {
    Entry e{tag, Short, static_cast<std::uint32_t>(values.size()), {}};
    for (std::uint32_t v : values) put16(e.data, v);
    return e;
}
Entry longs(std::uint16_t tag, std::initializer_list<std::uint32_t> values) {
    Entry e{tag, Long, static_cast<std::uint32_t>(values.size()), {}};
    for (std::uint32_t v : values) put32(e.data, v);
    return e;
}
Entry bytes(std::uint16_t tag, std::initializer_list<std::uint8_t> values) {
    Entry e{tag, Byte, static_cast<std::uint32_t>(values.size()), {}};
    for (std::uint8_t v : values) e.data += static_cast<char>(v);
    return e;
}
Entry ascii(std::uint16_t tag, const std::string& text) {
    return {tag, Ascii, static_cast<std::uint32_t>(text.size() + 1), text + '\0'};
}
Entry rationals(std::uint16_t tag, Type type, std::initializer_list<double> values) {
    constexpr int kDenominator = 10000;
    Entry e{tag, type, static_cast<std::uint32_t>(values.size()), {}};
    for (double v : values) {
        put32(e.data,
              static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * kDenominator))));
        put32(e.data, kDenominator);
    }
    return e;
}

// Appends an IFD to file, its values right after its entries, and returns
// its offset.
std::uint32_t appendIfd(std::string& file, std::vector<Entry> entries) {
    if (file.size() % 2) file += '\0';
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    const auto at = static_cast<std::uint32_t>(file.size());
    std::string head;
    std::string values;
    const std::uint32_t valuesAt = at + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    put16(head, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        put16(head, e.tag);
        put16(head, e.type);
        put32(head, e.count);
        if (e.data.size() <= 4) {
            head += e.data + std::string(4 - e.data.size(), '\0');
        } else {
            put32(head, valuesAt + static_cast<std::uint32_t>(values.size()));
            values += e.data;
            if (values.size() % 2) values += '\0';
        }
    }
    put32(head, 0);
    file += head + values;
    return at;
}

std::uint32_t append(std::string& file, const std::string& data) {
    if (file.size() % 2) file += '\0';
    const auto at = static_cast<std::uint32_t>(file.size());
    file += data;
    return at;
}

Quadrant quadrantAt(int x, int y, int width, int height) {
    const bool left = x < width / 2;
    if (y < height / 2) return left ? Quadrant::Red : Quadrant::Green;
    return left ? Quadrant::Blue : Quadrant::Grey;
}

// Where the stored pixel (x, y) of a stored width x height raster shows when
// the picture is turned upright.
std::pair<int, int> uprightOf(int x, int y, int width, int height, int orientation) {
    switch (orientation) {
        case 3:
            return {width - 1 - x, height - 1 - y};
        case 6:  // shown turned clockwise
            return {height - 1 - y, x};
        case 8:
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

bool turned(int orientation) {
    return orientation == 6 || orientation == 8;
}

int srgb(double linear) {
    const double v =
        linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255);
}

// The 12-bit mosaic, rows packed most significant bit first.
std::string mosaic(const DngSample& s, int storedWidth, int storedHeight) {
    std::string out;
    out.reserve(static_cast<std::size_t>((storedWidth * 12 + 7) / 8) * storedHeight);
    std::array<std::array<int, 3>, 4> levels{};
    for (int q = 0; q < 4; ++q) {
        const auto colour = sceneColour(static_cast<Quadrant>(q), s.seed);
        for (int c = 0; c < 3; ++c)
            levels[q][c] =
                kBlackLevel +
                static_cast<int>(std::lround(std::min(1.0, colour[c] * kAsShotNeutral[c]) *
                                             (kWhiteLevel - kBlackLevel)));
    }
    for (int y = 0; y < storedHeight; ++y) {
        std::uint32_t bits = 0;
        int held = 0;
        for (int x = 0; x < storedWidth; ++x) {
            const auto [ux, uy] = uprightOf(x, y, storedWidth, storedHeight, s.orientation);
            const int uw = turned(s.orientation) ? storedHeight : storedWidth;
            const int uh = turned(s.orientation) ? storedWidth : storedHeight;
            // RGGB
            const int channel = (y % 2) + (x % 2);
            bits =
                (bits << 12) | static_cast<std::uint32_t>(
                                   levels[static_cast<int>(quadrantAt(ux, uy, uw, uh))][channel]);
            held += 12;
            while (held >= 8) {
                held -= 8;
                out += static_cast<char>((bits >> held) & 0xFF);
            }
        }
        if (held > 0) out += static_cast<char>((bits << (8 - held)) & 0xFF);
    }
    return out;
}

// The camera's own rendering of the scene, stored as the mosaic is.
std::string previewJpeg(const DngSample& s, int& storedWidth, int& storedHeight) {
    const double scale = double(s.previewLongSide) / std::max(s.width, s.height);
    const int w = std::max(1, static_cast<int>(std::lround(s.width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(s.height * scale)));
    std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Quadrant q = quadrantAt(x, y, w, h);
            const auto colour = sceneColour(q, s.seed);
            for (int c = 0; c < 3; ++c)
                pixels[(static_cast<std::size_t>(y) * w + x) * 3 + c] = static_cast<unsigned char>(
                    q == Quadrant::Grey ? kPreviewGrey : srgb(colour[c]));
        }
    vips::VImage upright =
        vips::VImage::new_from_memory(pixels.data(), pixels.size(), w, h, 3, VIPS_FORMAT_UCHAR);
    const VipsAngle back = s.orientation == 3   ? VIPS_ANGLE_D180
                           : s.orientation == 6 ? VIPS_ANGLE_D270
                           : s.orientation == 8 ? VIPS_ANGLE_D90
                                                : VIPS_ANGLE_D0;
    const vips::VImage stored = upright.rot(back);
    storedWidth = stored.width();
    storedHeight = stored.height();
    void* buffer = nullptr;
    std::size_t length = 0;
    stored.write_to_buffer(".jpg", &buffer, &length,
                           vips::VImage::option()->set("Q", 85)->set("strip", true));
    std::string jpeg(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return jpeg;
}

}  // namespace

std::array<double, 3> sceneColour(Quadrant quadrant, int seed) {
    static constexpr std::array<std::array<double, 3>, 4> kScene{{
        {0.55, 0.04, 0.04},
        {0.05, 0.45, 0.06},
        {0.04, 0.06, 0.50},
        {0.18, 0.18, 0.18},
    }};
    const double shade = 1.0 - 0.002 * (seed % 50);
    auto colour = kScene[static_cast<int>(quadrant)];
    for (double& c : colour) c *= shade;
    return colour;
}

std::string dngBytes(const DngSample& s) {
    if (s.width < 2 || s.height < 2) throw std::invalid_argument("a DNG sample needs 2 x 2 pixels");
    const int storedWidth = turned(s.orientation) ? s.height : s.width;
    const int storedHeight = turned(s.orientation) ? s.width : s.height;
    std::string file = "II*";
    file += '\0';
    put32(file, 0);  // IFD 0, set at the end

    int previewWidth = 0;
    int previewHeight = 0;
    std::uint32_t previewAt = 0;
    std::string preview;
    if (s.previewLongSide > 0) {
        preview = previewJpeg(s, previewWidth, previewHeight);
        previewAt = append(file, preview);
    }
    const std::string raw = mosaic(s, storedWidth, storedHeight);
    const std::uint32_t rawAt = append(file, raw);
    const auto rawLength = static_cast<std::uint32_t>(raw.size());

    const std::uint32_t exifAt = appendIfd(file, {
                                                     rationals(33434, Rational, {1.0 / 250}),
                                                     rationals(33437, Rational, {5.6}),
                                                     shorts(34855, {200}),
                                                     ascii(36867, kCaptureTime),
                                                     rationals(37386, Rational, {35}),
                                                     ascii(42036, kLens),
                                                 });
    std::vector<Entry> mosaicTags{
        longs(256, {static_cast<std::uint32_t>(storedWidth)}),
        longs(257, {static_cast<std::uint32_t>(storedHeight)}),
        shorts(258, {12}),
        shorts(259, {1}),
        shorts(262, {32803}),
        longs(273, {rawAt}),
        shorts(277, {1}),
        longs(278, {static_cast<std::uint32_t>(storedHeight)}),
        longs(279, {rawLength}),
        shorts(284, {1}),
        shorts(33421, {2, 2}),
        bytes(33422, {0, 1, 1, 2}),
        bytes(50710, {0, 1, 2}),
        shorts(50711, {1}),
        longs(50714, {kBlackLevel}),
        longs(50717, {kWhiteLevel}),
    };
    // The camera's space is linear sRGB: the matrix from XYZ (D65).
    std::vector<Entry> first{
        ascii(271, kMake),
        ascii(272, kModel),
        shorts(274, {static_cast<std::uint32_t>(s.orientation)}),
        longs(34665, {exifAt}),
        bytes(50706, {1, 4, 0, 0}),
        bytes(50707, {1, 1, 0, 0}),
        ascii(50708, std::string(kMake) + " " + kModel),
        rationals(50721, SRational,
                  {3.2404542, -1.5371385, -0.4985314, -0.9692660, 1.8760108, 0.0415560, 0.0556434,
                   -0.2040259, 1.0572252}),
        rationals(50728, Rational, {kAsShotNeutral[0], kAsShotNeutral[1], kAsShotNeutral[2]}),
        shorts(50778, {21}),
    };
    if (preview.empty()) {
        first.push_back(longs(254, {0}));
        first.insert(first.end(), mosaicTags.begin(), mosaicTags.end());
    } else {
        mosaicTags.push_back(longs(254, {0}));
        const std::uint32_t mosaicAt = appendIfd(file, mosaicTags);
        first.insert(
            first.end(),
            {longs(254, {1}), longs(256, {static_cast<std::uint32_t>(previewWidth)}),
             longs(257, {static_cast<std::uint32_t>(previewHeight)}), shorts(258, {8, 8, 8}),
             shorts(259, {7}), shorts(262, {6}), longs(273, {previewAt}), shorts(277, {3}),
             longs(278, {static_cast<std::uint32_t>(previewHeight)}),
             longs(279, {static_cast<std::uint32_t>(preview.size())}), shorts(284, {1}),
             longs(330, {mosaicAt})});
    }
    const std::uint32_t firstAt = appendIfd(file, first);
    std::string offset;
    put32(offset, firstAt);
    file.replace(4, 4, offset);
    return file;
}

void writeDng(const DngSample& sample, const std::string& path) {
    const std::string data = dngBytes(sample);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace varnetto::rawsamples
