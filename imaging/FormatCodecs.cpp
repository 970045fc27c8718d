#include "imaging/FormatCodecs.h"

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

// libvips 8.14's HEIF loader lends the picture its colour profile from
// memory the load owns: a picture that outlives the load (decoded into
// memory, with a border) would carry freed bytes, and savers then drop the
// "corrupt" profile. The picture gets a copy of its own.
vips::VImage heif(const std::string& path) {
    vips::VImage image = libvips<vips::VImage::heifload>(path);
    const char* field = "icc-profile-data";
    if (image.get_typeof(field) == 0) return image;
    std::size_t length = 0;
    const void* profile = image.get_blob(field, &length);
    vips::VImage owned = image.copy();
    vips_image_set_blob_copy(owned.get_image(), field, profile, length);
    return owned;
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
    {FileKind::Heif, heif, writeHeic},
    {FileKind::Avif, heif, writeAvif},
    {FileKind::Jxl, libvips<vips::VImage::jxlload>, writeJxl},
    {FileKind::Pdf, nullptr, writePdf},
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
