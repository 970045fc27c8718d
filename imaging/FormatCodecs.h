#pragma once

// The codecs of the table of formats (common/ImageFormats.h), for the files of
// imaging/ only: how each row is read and written.

#include "common/ImageFormats.h"
#include "imaging/ImagingDetail.h"

#include <string>

namespace varnetto::detail {

struct FormatCodec {
    FileKind kind;
    // libvips' own loaders open the file lazily for one pass in order;
    // ImageMagick is told the format and decodes it whole; LibRaw decodes a
    // camera RAW file whole, upright, 16 bits a sample. The name is taken
    // literally, never parsed for options or a format prefix. nullptr for a
    // format that is only written.
    vips::VImage (*load)(const std::string& path);
    // Writes to path, a temporary name of the format's suffix. nullptr for a
    // format that is only read.
    void (*save)(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
};

const FormatCodec& codecOf(FileKind kind);

// The savers of the codecs.
void writeJpeg(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writePng(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeGif(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeTiff(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeWebp(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeHeic(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeAvif(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeJxl(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
void writeWbmp(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
// One page of the picture's size; true-colour pictures are embedded as JPEG.
void writePdf(const Bitmap& image, const std::string& path, const EncoderSettings& settings);
// The formats that only ImageMagick writes, by ImageMagick's name of the
// format.
void writeWithMagick(const Bitmap& image, const std::string& format, const std::string& path);

}  // namespace varnetto::detail
