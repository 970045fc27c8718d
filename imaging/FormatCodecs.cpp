#include "imaging/FormatCodecs.h"

#include "common/RegularFile.h"

#include "imaging/RawPictures.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace varnetto::detail {

namespace {

using Open = vips::VImage (*)(vips::VSource source, vips::VOption* options);

// Sequential: the decoder then runs on the thread that asks for the pixels,
// not in a thread pool of the loader's own that nobody can tell apart from
// other images' (see VipsDiagnostics.cpp).
template <Open open>
vips::VImage libvips(int descriptor) {
    return open(vips::VSource::new_from_descriptor(descriptor),
                vips::VImage::option()
                    ->set("fail_on", VIPS_FAIL_ON_TRUNCATED)
                    ->set("access", VIPS_ACCESS_SEQUENTIAL));
}

[[noreturn]] void damaged(const char* reason) {
    vips_error("VipsForeignLoad", "%s", reason);
    throw vips::VError();
}

std::string wholeFile(int descriptor) {
    std::string bytes;
    if (const int error = readWhole(descriptor, bytes)) damaged(std::strerror(error));
    return bytes;
}

bool readMultiByte(const std::string& bytes, size_t& at, std::uint64_t& value) {
    value = 0;
    for (int i = 0; i < 5 && at < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value = (value << 7) | (byte & 0x7F);
        if (!(byte & 0x80)) return true;
    }
    return false;
}

// WBMP has no signature, and ImageMagick is told a format only with a name:
// the one level of black and white is decoded here, as ImageMagick gives it
// (three bands of 0 and 255, a set bit white). The header was checked before.
vips::VImage wbmp(int descriptor) {
    const std::string bytes = wholeFile(descriptor);
    size_t at = 0;
    std::uint64_t type = 0, width = 0, height = 0;
    if (!readMultiByte(bytes, at, type) || ++at > bytes.size() ||
        !readMultiByte(bytes, at, width) || !readMultiByte(bytes, at, height) || width == 0 ||
        height == 0 || width > INT32_MAX || height > INT32_MAX)
        damaged("WBMP 文件头不完整");
    const std::uint64_t rowBytes = (width + 7) / 8;
    if ((bytes.size() - at) / rowBytes < height) damaged("WBMP 数据不完整");
    std::vector<unsigned char> pixels(width * height);
    for (std::uint64_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(bytes.data() + at + y * rowBytes);
        for (std::uint64_t x = 0; x < width; ++x)
            pixels[y * width + x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
    }
    VipsImage* gray =
        vips_image_new_from_memory_copy(pixels.data(), pixels.size(), static_cast<int>(width),
                                        static_cast<int>(height), 1, VIPS_FORMAT_UCHAR);
    if (!gray) throw vips::VError();
    const vips::VImage one(gray);
    return vips::VImage::bandjoin({one, one, one})
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// ImageMagick recognises these formats by their content.
vips::VImage magick(int descriptor) {
    const std::string bytes = wholeFile(descriptor);
    VipsBlob* blob = vips_blob_copy(bytes.data(), bytes.size());
    try {
        vips::VImage image = vips::VImage::magickload_buffer(blob);
        vips_area_unref(VIPS_AREA(blob));
        return image;
    } catch (...) {
        vips_area_unref(VIPS_AREA(blob));
        throw;
    }
}

// libvips 8.14's HEIF loader lends the picture its colour profile and its
// EXIF and XMP blocks from memory the load owns: a picture that outlives the
// load (decoded into memory, with a border) would carry freed bytes, which
// savers drop as "corrupt" or read after they are freed. The picture gets
// copies of its own.
vips::VImage heif(int descriptor) {
    const vips::VImage image = libvips<vips::VImage::heifload_source>(descriptor);
    vips::VImage owned = image.copy();
    for (const char* field : {VIPS_META_ICC_NAME, VIPS_META_EXIF_NAME, VIPS_META_XMP_NAME}) {
        if (image.get_typeof(field) == 0) continue;
        std::size_t length = 0;
        const void* data = image.get_blob(field, &length);
        vips_image_set_blob_copy(owned.get_image(), field, data, length);
    }
    if (owned.get_typeof(VIPS_META_XMP_NAME) == 0) {
        const std::string xmp = heifXmp(descriptor);
        if (!xmp.empty())
            vips_image_set_blob_copy(owned.get_image(), VIPS_META_XMP_NAME, xmp.data(), xmp.size());
    }
    return owned;
}

template <const char* format>
void saveWithMagick(const Bitmap& image, int descriptor, const EncoderSettings&) {
    writeWithMagick(image, format, descriptor);
}

// Every camera's RAW files go through LibRaw, which tells them apart itself.
vips::VImage camera(int descriptor) {
    return decodeRaw("/proc/self/fd/" + std::to_string(descriptor), RawDecode::Full);
}

constexpr char kBmp[] = "BMP";
constexpr char kPcx[] = "PCX";
constexpr char kPsd[] = "PSD";

// In the order of the table of formats.
constexpr std::array<FormatCodec, imageFormats.size()> kCodecs{{
    {FileKind::Bmp, magick, saveWithMagick<kBmp>},
    {FileKind::Gif, libvips<vips::VImage::gifload_source>, writeGif},
    {FileKind::Jpeg, libvips<vips::VImage::jpegload_source>, writeJpeg},
    {FileKind::Png, libvips<vips::VImage::pngload_source>, writePng, true},
    {FileKind::Wbmp, wbmp, writeWbmp},
    {FileKind::Pcx, magick, saveWithMagick<kPcx>},
    {FileKind::Psd, magick, saveWithMagick<kPsd>},
    {FileKind::Tiff, libvips<vips::VImage::tiffload_source>, writeTiffWithMetadata, true},
    {FileKind::WebP, libvips<vips::VImage::webpload_source>, writeWebp},
    {FileKind::Heif, heif, writeHeic},
    {FileKind::Avif, heif, writeAvif},
    {FileKind::Jxl, libvips<vips::VImage::jxlload_source>, writeJxl, true},
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

// A row has a codec exactly where the table says it is read or written, and
// writes 16 bits only where the table says the file can hold them.
// Checked in every build but the sanitizers' (address and undefined together):
// GCC 12 with -fsanitize=null cannot compare a function's address at compile
// time.
#ifndef __SANITIZE_ADDRESS__
static_assert([] {
    for (std::size_t i = 0; i < kCodecs.size(); ++i) {
        const ImageFormat& format = imageFormats[i];
        if (kCodecs[i].kind != format.kind ||
            (kCodecs[i].load != nullptr) != (format.loader != Codec::None) ||
            (kCodecs[i].save != nullptr) != (format.saver != Codec::None) ||
            (kCodecs[i].savesSixteenBits && !format.carries.sixteenBits))
            return false;
    }
    return true;
}());
#endif

}  // namespace

const FormatCodec& codecOf(FileKind kind) {
    return kCodecs[static_cast<std::size_t>(kind)];
}

}  // namespace varnetto::detail
