#pragma once

// The codecs of the table of formats (common/ImageFormats.h), for the files of
// imaging/ only: how each row is read and written.

#include "common/ImageFormats.h"
#include "imaging/ImagingDetail.h"

#include <string>

namespace varnetto::detail {

struct FormatCodec {
    FileKind kind;
    // Reads the picture from descriptor, a regular file open for reading,
    // never from its name: what stands under the name later (a FIFO put in
    // its place) is never opened. libvips' own loaders read lazily for one
    // pass in order through a duplicate of the descriptor, which may be
    // closed meanwhile; ImageMagick's formats are read whole into memory and
    // decoded from there; LibRaw decodes a camera RAW file whole, upright,
    // 16 bits a sample. nullptr for a format that is only written.
    vips::VImage (*load)(int descriptor);
    // Writes the file through descriptor, an empty file open for writing at
    // its start (a temporary file created for this write alone), which the
    // saver leaves open; the file is never opened again by its name. nullptr
    // for a format that is only read.
    void (*save)(const Bitmap& image, int descriptor, const EncoderSettings& settings);
    // The saver writes a 16-bit picture with 16 bits a sample. Pictures for
    // every other saver are reduced to 8 bits first, although some of those
    // files could hold more (Carries::sixteenBits).
    bool savesSixteenBits = false;
};

const FormatCodec& codecOf(FileKind kind);

// The XMP packet of a HEIF file's primary picture, which libvips 8.14 does
// not read; empty when it has none.
std::string heifXmp(int descriptor);

// The savers of the codecs.
void writeJpeg(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writePng(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeGif(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeTiff(const Bitmap& image, int descriptor, const EncoderSettings& settings);
// writeTiff, with the picture's EXIF, which libvips' TIFF saver leaves out,
// and its IPTC as a TIFF holds it.
void writeTiffWithMetadata(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeWebp(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeHeic(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeAvif(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeJxl(const Bitmap& image, int descriptor, const EncoderSettings& settings);
void writeWbmp(const Bitmap& image, int descriptor, const EncoderSettings& settings);
// One page of the picture's size; true-colour pictures are embedded as JPEG.
void writePdf(const Bitmap& image, int descriptor, const EncoderSettings& settings);
// The formats that only ImageMagick writes, by ImageMagick's name of the
// format.
void writeWithMagick(const Bitmap& image, const std::string& format, int descriptor);

}  // namespace varnetto::detail
