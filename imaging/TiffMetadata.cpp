#include "imaging/FormatCodecs.h"

#include "common/PendingFile.h"
#include "common/Reporter.h"
#include "imaging/IptcBlocks.h"
#include "imaging/MemoryFile.h"

#include <libexif/exif-data.h>
#include <exiv2/exiv2.hpp>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace varnetto::detail {

namespace {

// Exiv2 sets up its XMP toolkit on first use without a lock of its own, and
// a batch writes its first TIFFs from several workers at once: it is set up
// once, with a lock for the namespaces it registers later.
std::mutex xmpToolkitMutex;

void lockXmpToolkit(void* mutex, bool lock) {
    if (lock)
        static_cast<std::mutex*>(mutex)->lock();
    else
        static_cast<std::mutex*>(mutex)->unlock();
}

void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmpToolkit, &xmpToolkitMutex);
    });
}

struct ExifDataFree {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

// The TIFF's own first directory describes its pixels; of the source's, only
// what says who made the picture and with what goes across.
constexpr std::array<ExifTag, 7> kDescriptiveTags{
    EXIF_TAG_IMAGE_DESCRIPTION, EXIF_TAG_MAKE,   EXIF_TAG_MODEL,    EXIF_TAG_SOFTWARE,
    EXIF_TAG_DATE_TIME,         EXIF_TAG_ARTIST, EXIF_TAG_COPYRIGHT};

bool descriptive(ExifTag tag) {
    for (const ExifTag kept : kDescriptiveTags)
        if (kept == tag) return true;
    return false;
}

// The picture's EXIF block less what the picture no longer has: libvips
// keeps a field per tag and, saving a JPEG, drops the tags whose field was
// removed (as the metadata choice does). Its TIFF saver writes no EXIF at
// all, so the same is done here.
std::string exifToCarry(const Bitmap& image) {
    if (image.get_typeof(VIPS_META_EXIF_NAME) == 0) return {};
    std::size_t length = 0;
    const auto* data =
        static_cast<const unsigned char*>(image.get_blob(VIPS_META_EXIF_NAME, &length));
    const std::unique_ptr<ExifData, ExifDataFree> exif(exif_data_new());
    if (!exif) return {};
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(exif.get(), data, static_cast<unsigned int>(length));
    bool any = false;
    for (int ifd = 0; ifd < EXIF_IFD_COUNT; ++ifd) {
        ExifContent* content = exif->ifd[ifd];
        std::vector<ExifEntry*> dropped;
        for (unsigned int i = 0; i < content->count; ++i) {
            ExifEntry* entry = content->entries[i];
            const char* name = exif_tag_get_name_in_ifd(entry->tag, static_cast<ExifIfd>(ifd));
            const std::string field =
                "exif-ifd" + std::to_string(ifd) + "-" + (name ? name : std::string());
            const bool kept = ifd != EXIF_IFD_1 && name && image.get_typeof(field.c_str()) != 0 &&
                              (ifd != EXIF_IFD_0 || descriptive(entry->tag));
            if (kept)
                any = any || ifd != EXIF_IFD_0 || entry->tag != EXIF_TAG_SOFTWARE;
            else
                dropped.push_back(entry);
        }
        for (ExifEntry* entry : dropped) exif_content_remove_entry(content, entry);
    }
    if (!any) return {};
    unsigned char* out = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif.get(), &out, &size);
    std::string block(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return block;
}

// The IPTC datasets, bare: the JPEG loader keeps them inside Photoshop's
// resource block, which is no IPTC in a TIFF's tag.
std::string iimToCarry(const Bitmap& image) {
    if (image.get_typeof(VIPS_META_IPTC_NAME) == 0) return {};
    std::size_t length = 0;
    const auto* data = static_cast<const char*>(image.get_blob(VIPS_META_IPTC_NAME, &length));
    return bareIim(std::string_view(data, length));
}

}  // namespace

void writeTiffWithMetadata(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    const std::string exif = exifToCarry(image);
    const std::string iim = iimToCarry(image);
    Bitmap pixels = image;
    // libvips 8.14 writes a quarter of the IPTC block into the tag.
    if (image.get_typeof(VIPS_META_IPTC_NAME) != 0) {
        pixels = image.copy();
        pixels.remove(VIPS_META_IPTC_NAME);
    }
    if (exif.size() <= 6 && iim.empty()) {
        writeTiff(pixels, descriptor, settings);
        return;
    }
    const MemoryFile encoded;
    writeTiff(pixels, encoded.descriptor(), settings);
    const std::string bytes = encoded.bytes();
    prepareExiv2();
    try {
        auto tiff = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                              static_cast<long>(bytes.size()));
        tiff->readMetadata();
        // The packet the saver wrote stays as it is, not as Exiv2 would redo it.
        tiff->writeXmpFromPacket(true);
        if (exif.size() > 6) {
            Exiv2::ExifData carried;
            // The block starts with "Exif\0\0", as a JPEG's APP1 segment holds it.
            Exiv2::ExifParser::decode(carried,
                                      reinterpret_cast<const Exiv2::byte*>(exif.data()) + 6,
                                      static_cast<std::uint32_t>(exif.size() - 6));
            Exiv2::ExifData& own = tiff->exifData();
            for (const Exiv2::Exifdatum& datum : carried) {
                const auto existing = own.findKey(Exiv2::ExifKey(datum.key()));
                if (existing != own.end()) own.erase(existing);
                own.add(datum);
            }
        }
        if (!iim.empty() && Exiv2::IptcParser::decode(
                                tiff->iptcData(), reinterpret_cast<const Exiv2::byte*>(iim.data()),
                                static_cast<std::uint32_t>(iim.size())) != 0)
            tiff->iptcData().clear();
        tiff->writeMetadata();
        Exiv2::BasicIo& io = tiff->io();
        io.open();
        const Exiv2::DataBuf written = io.read(static_cast<long>(io.size()));
        io.close();
        writeAll(descriptor, std::string_view(reinterpret_cast<const char*>(written.pData_),
                                              static_cast<std::size_t>(written.size_)));
    } catch (const Exiv2::AnyError& error) {
        // Damaged metadata costs the output its metadata, not the output.
        g_log("VIPS", G_LOG_LEVEL_WARNING, "%s",
              formatMessage("EXIF 与 IPTC 无法写入 TIFF，已省略：%s", error.what()).c_str());
        writeAll(descriptor, bytes);
    }
}

}  // namespace varnetto::detail
