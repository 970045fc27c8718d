#include "imaging/FormatCodecs.h"

#include "imaging/RawPictures.h"

#include <array>
#include <cstddef>

namespace varnetto::detail {

namespace {

using Open = vips::VImage (*)(const char* name, vips::VOption* options);

// Sequential: the decoder then runs on the thread that asks for the pixels,
// not in a thread pool of the loader's own that nobody can tell apart from
// other images' (see VipsDiagnostics.cpp).
template <Open open>
vips::VImage libvips(const std::string& path) {
    return open(path.c_str(), vips::VImage::option()
                                  ->set("fail_on", VIPS_FAIL_ON_TRUNCATED)
                                  ->set("access", VIPS_ACCESS_SEQUENTIAL));
}

// ImageMagick is told the format, so it never guesses one from the content
// or acts on a prefix inside the name.
template <const char* format>
vips::VImage magick(const std::string& path) {
    return vips::VImage::magickload((std::string(format) + ":" + path).c_str());
}

template <const char* format>
void saveWithMagick(const Bitmap& image, const std::string& path, const EncoderSettings&) {
    writeWithMagick(image, format, path);
}

// Every camera's RAW files go through LibRaw, which tells them apart itself.
vips::VImage camera(const std::string& path) {
    return decodeRaw(path, RawDecode::Full);
}

constexpr char kBmp[] = "BMP";
constexpr char kPcx[] = "PCX";
constexpr char kPsd[] = "PSD";
constexpr char kWbmp[] = "WBMP";

// In the order of the table of formats.
constexpr std::array<FormatCodec, imageFormats.size()> kCodecs{{
    {FileKind::Bmp, magick<kBmp>, saveWithMagick<kBmp>},
    {FileKind::Gif, libvips<vips::VImage::gifload>, writeGif},
    {FileKind::Jpeg, libvips<vips::VImage::jpegload>, writeJpeg},
    {FileKind::Png, libvips<vips::VImage::pngload>, writePng},
    {FileKind::Wbmp, magick<kWbmp>, writeWbmp},
    {FileKind::Pcx, magick<kPcx>, saveWithMagick<kPcx>},
    {FileKind::Psd, magick<kPsd>, saveWithMagick<kPsd>},
    {FileKind::Tiff, libvips<vips::VImage::tiffload>, writeTiff},
    {FileKind::WebP, libvips<vips::VImage::webpload>, writeWebp},
    {FileKind::Heif, libvips<vips::VImage::heifload>, writeHeic},
    {FileKind::Avif, libvips<vips::VImage::heifload>, writeAvif},
    {FileKind::Jxl, libvips<vips::VImage::jxlload>, writeJxl},
    {FileKind::Pdf, nullptr, writePdf},
    {FileKind::Dng, camera, nullptr},
    {FileKind::Canon, camera, nullptr},
    {FileKind::Nikon, camera, nullptr},
    {FileKind::Sony, camera, nullptr},
    {FileKind::Fujifilm, camera, nullptr},
    {FileKind::Olympus, camera, nullptr},
    {FileKind::Panasonic, camera, nullptr},
    {FileKind::Pentax, camera, nullptr},
    {FileKind::Samsung, camera, nullptr},
}};

// A row has a codec exactly where the table says it is read or written.
static_assert([] {
    for (std::size_t i = 0; i < kCodecs.size(); ++i) {
        const ImageFormat& format = imageFormats[i];
        if (kCodecs[i].kind != format.kind ||
            (kCodecs[i].load != nullptr) != (format.loader != Codec::None) ||
            (kCodecs[i].save != nullptr) != (format.saver != Codec::None))
            return false;
    }
    return true;
}());

}  // namespace

const FormatCodec& codecOf(FileKind kind) {
    return kCodecs[static_cast<std::size_t>(kind)];
}

}  // namespace varnetto::detail
