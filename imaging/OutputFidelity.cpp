#include "imaging/OutputFidelity.h"

#include "imaging/FormatCodecs.h"
#include "imaging/ImagingDetail.h"
#include "imaging/IptcBlocks.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace varnetto {

namespace {

constexpr const char* kProfileField = "icc-profile-data";
constexpr const char* kColorHandlingField = "varnetto-color-handling";
constexpr const char* kMetadataHandlingField = "varnetto-metadata-handling";
// 72 dpi in libvips' pixels per millimetre.
constexpr double kDefaultResolution = 72.0 / 25.4;

// libvips gives a picture without a stated resolution 1 pixel per
// millimetre, exactly.
bool statesResolution(double pixelsPerMm) {
    return std::isfinite(pixelsPerMm) && pixelsPerMm > 0.0 && std::fabs(pixelsPerMm - 1.0) > 1e-9;
}

std::uint32_t bigEndian32(const unsigned char* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) |
           (std::uint32_t{at[2]} << 8) | at[3];
}

// The profile's description (its "desc" tag), as ASCII: enough to tell an
// sRGB profile by its name, as colour-managed viewers list it.
std::string profileDescription(const unsigned char* profile, std::size_t length) {
    if (length < 132) return {};
    const std::uint32_t tags = bigEndian32(profile + 128);
    for (std::uint32_t i = 0; i < tags && 132 + 12 * (i + 1) <= length; ++i) {
        const unsigned char* entry = profile + 132 + 12 * i;
        if (std::string_view(reinterpret_cast<const char*>(entry), 4) != "desc") continue;
        const std::size_t offset = bigEndian32(entry + 4);
        const std::size_t size = bigEndian32(entry + 8);
        if (offset > length || size > length - offset || size < 12) return {};
        const unsigned char* tag = profile + offset;
        const std::string_view type(reinterpret_cast<const char*>(tag), 4);
        std::string text;
        if (type == "desc") {
            const std::size_t count = std::min<std::size_t>(bigEndian32(tag + 8), size - 12);
            text.assign(reinterpret_cast<const char*>(tag + 12), count);
        } else if (type == "mluc" && size >= 28) {
            // The first record, UTF-16BE: its ASCII characters.
            const std::size_t count = bigEndian32(tag + 20);
            const std::size_t start = bigEndian32(tag + 24);
            if (start > size || count > size - start) return {};
            for (std::size_t at = start; at + 1 < start + count; at += 2)
                if (tag[at] == 0 && tag[at + 1] != 0) text += static_cast<char>(tag[at + 1]);
        }
        return text;
    }
    return {};
}

const unsigned char* profileOf(const Bitmap& picture, std::size_t& length) {
    length = 0;
    if (picture.get_typeof(kProfileField) == 0) return nullptr;
    return static_cast<const unsigned char*>(picture.get_blob(kProfileField, &length));
}

Bitmap withSrgbProfile(const Bitmap& picture) {
    VipsBlob* blob = nullptr;
    if (vips_profile_load("srgb", &blob, nullptr) != 0) throw vips::VError();
    const auto release = [](VipsBlob* owned) { vips_area_unref(VIPS_AREA(owned)); };
    const std::unique_ptr<VipsBlob, decltype(release)> owned(blob, release);
    std::size_t length = 0;
    const void* data = vips_blob_get(blob, &length);
    Bitmap tagged = picture.copy();
    vips_image_set_blob_copy(tagged.get_image(), kProfileField, data, length);
    return tagged;
}

// Location, the owner and serial numbers, and the maker's notes (where
// cameras file serial numbers of their own): EXIF by libvips' field names
// (IFD 3 is the GPS directory), XMP by property, IPTC by dataset.
constexpr std::array<std::string_view, 4> kPersonalExif{
    "exif-ifd2-MakerNote", "exif-ifd2-CameraOwnerName", "exif-ifd2-BodySerialNumber",
    "exif-ifd2-LensSerialNumber"};

const std::regex& personalXmpProperty() {
    static const std::string names =
        "(?:exif:GPS\\w*|photoshop:(?:City|State|Country)|Iptc4xmpCore:(?:Location|CountryCode)|"
        "Iptc4xmpExt:Location(?:Created|Shown)|aux:(?:SerialNumber|LensSerialNumber|OwnerName)|"
        "exifEX:(?:BodySerialNumber|LensSerialNumber|CameraOwnerName))";
    static const std::regex property("\\s" + names + "=\"[^\"]*\"|<(" + names + ")\\b[^>]*/>|<(" +
                                     names + ")\\b[^>]*>[\\s\\S]*?</\\2>");
    return property;
}

Bitmap withMetadata(const Bitmap& picture, MetadataHandling handling) {
    if (handling != MetadataHandling::RemovePersonal && handling != MetadataHandling::RemoveAll)
        return picture;
    Bitmap out = picture.copy();
    VipsImage* image = out.get_image();
    std::unique_ptr<char*, decltype(&g_strfreev)> fields(vips_image_get_fields(image), &g_strfreev);
    for (char** field = fields.get(); *field; ++field) {
        const std::string_view name(*field);
        bool remove = false;
        if (handling == MetadataHandling::RemoveAll) {
            // Savers write the resolution and the orientation tag libvips
            // keeps from the pixels themselves.
            remove = name.starts_with("exif-") || name == VIPS_META_XMP_NAME ||
                     name == VIPS_META_IPTC_NAME || name == VIPS_META_PHOTOSHOP_NAME;
        } else {
            remove = name.starts_with("exif-ifd3-");
            for (const std::string_view personal : kPersonalExif)
                remove = remove || name == personal;
        }
        if (remove) vips_image_remove(image, *field);
    }
    if (handling == MetadataHandling::RemovePersonal) {
        std::size_t length = 0;
        if (out.get_typeof(VIPS_META_XMP_NAME) != 0) {
            const auto* xmp = static_cast<const char*>(out.get_blob(VIPS_META_XMP_NAME, &length));
            const std::string packet(xmp, length);
            const std::string kept = std::regex_replace(packet, personalXmpProperty(), "");
            if (kept != packet)
                vips_image_set_blob_copy(image, VIPS_META_XMP_NAME, kept.data(), kept.size());
        }
        if (out.get_typeof(VIPS_META_IPTC_NAME) != 0) {
            const auto* iptc = static_cast<const char*>(out.get_blob(VIPS_META_IPTC_NAME, &length));
            const std::string_view block(iptc, length);
            const std::optional<std::string> kept = detail::iptcWithoutPlaces(block);
            if (!kept)
                vips_image_remove(image, VIPS_META_IPTC_NAME);
            else if (*kept != block)
                vips_image_set_blob_copy(image, VIPS_META_IPTC_NAME, kept->data(), kept->size());
        }
    }
    return out;
}

}  // namespace

Bitmap withResolutionOf(const Bitmap& picture, const Bitmap& source) {
    double x = source.xres();
    double y = source.yres();
    if (!statesResolution(x) || !statesResolution(y)) x = y = kDefaultResolution;
    if (picture.xres() == x && picture.yres() == y) return picture;
    return detail::guarded("设置分辨率", [&] {
        return picture.copy(vips::VImage::option()->set("xres", x)->set("yres", y));
    });
}

bool hasForeignProfile(const Bitmap& picture) {
    std::size_t length = 0;
    const unsigned char* profile = profileOf(picture, length);
    if (!profile || length < 132) return false;
    const std::string_view space(reinterpret_cast<const char*>(profile + 16), 4);
    if (space == "GRAY") return false;
    return space != "RGB " || profileDescription(profile, length).find("sRGB") == std::string::npos;
}

Bitmap inSrgb(const Bitmap& picture, bool tag) {
    return detail::guarded("转换为 sRGB", [&] {
        if (hasForeignProfile(picture)) {
            std::size_t length = 0;
            const unsigned char* profile = profileOf(picture, length);
            const bool cmyk =
                std::string_view(reinterpret_cast<const char*>(profile + 16), 4) == "CMYK";
            // A CMYK profile on an RGB picture (or the reverse) describes
            // other pixels: it is dropped rather than applied.
            if (cmyk != (picture.interpretation() == VIPS_INTERPRETATION_CMYK)) {
                Bitmap plain = picture.copy();
                plain.remove(kProfileField);
                return tag ? withSrgbProfile(plain) : plain;
            }
            const bool sixteen = picture.format() == VIPS_FORMAT_USHORT;
            Bitmap converted =
                picture.icc_transform("srgb", vips::VImage::option()
                                                  ->set("embedded", true)
                                                  ->set("intent", VIPS_INTENT_RELATIVE)
                                                  ->set("black_point_compensation", true)
                                                  ->set("depth", sixteen ? 16 : 8));
            return converted;
        }
        if (picture.interpretation() == VIPS_INTERPRETATION_CMYK)
            return picture.icc_transform("srgb", vips::VImage::option()
                                                     ->set("input_profile", "cmyk")
                                                     ->set("intent", VIPS_INTENT_RELATIVE)
                                                     ->set("black_point_compensation", true));
        if (tag && picture.get_typeof(kProfileField) == 0 && picture.bands() >= 3)
            return withSrgbProfile(picture);
        return picture;
    });
}

Bitmap withOutputChoices(const Bitmap& picture, ColorHandling color, MetadataHandling metadata) {
    const auto mark = [](const Bitmap& image, const char* field, std::int32_t value) {
        return image.get_typeof(field) != 0 && image.get_int(field) == value;
    };
    if (mark(picture, kColorHandlingField, static_cast<std::int32_t>(color)) &&
        mark(picture, kMetadataHandlingField, static_cast<std::int32_t>(metadata)))
        return picture;
    return detail::guarded("输出设置", [&] {
        Bitmap marked = picture.copy();
        marked.set(kColorHandlingField, static_cast<int>(color));
        marked.set(kMetadataHandlingField, static_cast<int>(metadata));
        return marked;
    });
}

namespace detail {

namespace {

template <class Choice>
Choice choiceOf(const Bitmap& image, const char* field) {
    return image.get_typeof(field) != 0 ? static_cast<Choice>(image.get_int(field)) : Choice{};
}

}  // namespace

Bitmap preparedForFormat(const Bitmap& image, const ImageFormat& format,
                         const EncoderSettings& settings) {
    const ColorType type = colorTypeOf(image);
    const bool reduced =
        type != ColorType::TrueColor24 ||
        (format.kind == FileKind::Tiff && settings.tiffCompression == TiffCompression::Group4) ||
        format.kind == FileKind::Wbmp;
    const bool tag =
        choiceOf<ColorHandling>(image, kColorHandlingField) == ColorHandling::ConvertToSrgb;
    Bitmap out = image;
    if (tag || reduced || !format.carries.iccProfile) out = inSrgb(out, tag && !reduced);
    // Converted first, with 16 bits where the picture has them.
    if (!codecOf(format.kind).savesSixteenBits) out = toEightBits(out);
    out = withMetadata(out, choiceOf<MetadataHandling>(image, kMetadataHandlingField));
    // A TIFF source's IPTC is bare; the JPEG saver writes the block as it is.
    if (format.kind == FileKind::Jpeg && out.get_typeof(VIPS_META_IPTC_NAME) != 0) {
        std::size_t length = 0;
        const auto* data = static_cast<const char*>(out.get_blob(VIPS_META_IPTC_NAME, &length));
        const std::string_view block(data, length);
        const std::string wrapped = photoshopIptc(block);
        if (wrapped != block) {
            out = out.copy();
            vips_image_set_blob_copy(out.get_image(), VIPS_META_IPTC_NAME, wrapped.data(),
                                     wrapped.size());
        }
    }
    return out;
}

}  // namespace detail

}  // namespace varnetto
