#include "imaging/RawPictures.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace varnetto::detail {

namespace {

constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_INTEL;

struct ExifDataFree {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct ExifMemFree {
    void operator()(ExifMem* mem) const { exif_mem_unref(mem); }
};

class ExifWriter {
  public:
    ExifWriter() : mem_(exif_mem_new_default()), data_(exif_data_new_mem(mem_.get())) {
        exif_data_set_byte_order(data_.get(), kOrder);
    }

    void text(ExifIfd ifd, ExifTag tag, const std::string& value) {
        if (value.empty()) return;
        ExifEntry* entry = add(ifd, tag, EXIF_FORMAT_ASCII, value.size() + 1);
        std::memcpy(entry->data, value.c_str(), value.size() + 1);
    }
    void number(ExifIfd ifd, ExifTag tag, int value) {
        if (value <= 0) return;
        exif_set_short(add(ifd, tag, EXIF_FORMAT_SHORT, 1)->data, kOrder,
                       static_cast<ExifShort>(value));
    }
    void ratio(ExifIfd ifd, ExifTag tag, double value, bool reciprocal = false) {
        if (!(value > 0) || !std::isfinite(value)) return;
        ExifRational r{};
        if (reciprocal && value < 1) {
            r = {1, static_cast<ExifLong>(std::lround(1 / value))};
        } else {
            constexpr double kTenths = 10;
            r = {static_cast<ExifLong>(std::lround(value * kTenths)),
                 static_cast<ExifLong>(kTenths)};
        }
        exif_set_rational(add(ifd, tag, EXIF_FORMAT_RATIONAL, 1)->data, kOrder, r);
    }

    // "Exif\0\0" and the TIFF structure, as a JPEG's APP1 segment holds it.
    std::string bytes() {
        unsigned char* out = nullptr;
        unsigned int length = 0;
        exif_data_save_data(data_.get(), &out, &length);
        std::string block(reinterpret_cast<const char*>(out), length);
        exif_mem_free(mem_.get(), out);
        return block;
    }

  private:
    ExifEntry* add(ExifIfd ifd, ExifTag tag, ExifFormat format, std::size_t components) {
        ExifEntry* entry = exif_entry_new_mem(mem_.get());
        entry->tag = tag;
        entry->format = format;
        entry->components = components;
        entry->size = static_cast<unsigned int>(exif_format_get_size(format) * components);
        entry->data = static_cast<unsigned char*>(exif_mem_alloc(mem_.get(), entry->size));
        exif_content_add_entry(data_.get()->ifd[ifd], entry);
        // The content holds it now.
        exif_entry_unref(entry);
        return entry;
    }

    std::unique_ptr<ExifMem, ExifMemFree> mem_;
    std::unique_ptr<ExifData, ExifDataFree> data_;
};

}  // namespace

std::string exifBlock(const CaptureFacts& facts) {
    ExifWriter exif;
    exif.text(EXIF_IFD_0, EXIF_TAG_MAKE, facts.make);
    exif.text(EXIF_IFD_0, EXIF_TAG_MODEL, facts.model);
    // The pixels are upright already.
    exif.number(EXIF_IFD_0, EXIF_TAG_ORIENTATION, 1);
    exif.ratio(EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME, facts.exposureSeconds, true);
    exif.ratio(EXIF_IFD_EXIF, EXIF_TAG_FNUMBER, facts.fNumber);
    exif.number(EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS, facts.iso);
    exif.text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, facts.captureTime);
    exif.ratio(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, facts.focalLength);
    exif.text(EXIF_IFD_EXIF, EXIF_TAG_LENS_MODEL, facts.lens);
    return exif.bytes();
}

}  // namespace varnetto::detail
