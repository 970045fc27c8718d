#pragma once

// The table of image formats: the one place that knows a format. The folder
// patterns, the open-file dialog's entries, the output format codes with their
// labels and extensions, the savers chosen by extension and the names of
// unfinished writes all derive from it; imaging/FormatCodecs.cpp binds each
// row to its loader and saver. Plain data without libvips, so that every layer
// (the scheme viewer's rows too) reads the same rows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace varnetto {

// Every format, in the order of the table.
enum class FileKind {
    Bmp,
    Gif,
    Jpeg,
    Png,
    Wbmp,
    Pcx,
    Psd,
    Tiff,
    WebP,
    Heif,
    Avif,
    Jxl,
    Pdf,
    // Camera RAW
    Dng,
    Canon,
    Nikon,
    Sony,
    Fujifilm,
    Olympus,
    Panasonic,
    Pentax,
    Samsung,
};

// outputFormat of a scheme, in the order of the format list. Formats are only
// ever added at the end, so a stored value keeps its meaning.
enum class OutputFormat : std::int32_t {
    Bmp = 0,
    Gif = 1,
    Jpeg = 2,
    Pcx = 3,
    Png = 4,
    Wbmp = 5,
    Psd = 6,
    Tiff = 7,
    Pdf = 8,
    WebP = 9,
    Avif = 10,
};

// The entries of the open-file dialog, in the dialog's order.
enum class OpenFileEntry {
    Jpeg,
    Bitmap,
    Gif,
    Png,
    Wbm,
    Pcx,
    Photoshop,
    Tiff,
    PhoneAndWeb,
    CameraRaw,
    NotOffered,  // written and read by this name, never looked for in folders
};

// The library that reads or writes a format.
enum class Codec {
    None,
    Libvips,      // lazy, shrinks on load
    ImageMagick,  // told the format by name; decodes whole
    Cairo,
    LibRaw,  // camera RAW: decodes whole, or its embedded preview
};

// What a file of the format can hold, as far as the libraries the program
// uses can write it and read it back. The savers do not keep all of it yet.
struct Carries {
    bool iccProfile = false;
    bool exifXmp = false;
    bool resolution = false;  // in a field of its own or in its EXIF
    bool alpha = false;
    bool sixteenBits = false;  // more than 8 bits a sample
    bool palette = false;
};

// Work that goes through the picture once, top to bottom.
struct InOrder {
    bool decodes = false;  // the loader yields the upright picture row by row
    bool encodes = false;  // the saver takes its rows once, top to bottom
};

struct FormatSuffix {
    std::string_view text;  // lower case, without the dot
    OpenFileEntry entry = OpenFileEntry::NotOffered;
};

// A few suffixes, in the order the folder patterns list them.
class FormatSuffixes {
  public:
    constexpr FormatSuffixes(std::initializer_list<FormatSuffix> suffixes) {
        for (const FormatSuffix& suffix : suffixes) items_.at(count_++) = suffix;
    }
    constexpr const FormatSuffix* begin() const { return items_.data(); }
    constexpr const FormatSuffix* end() const { return items_.data() + count_; }
    // What output files of the format are named with.
    constexpr std::string_view first() const { return items_[0].text; }

  private:
    std::array<FormatSuffix, 3> items_{};
    std::size_t count_ = 0;
};

struct ImageFormat {
    FileKind kind;
    std::string_view label;  // as the user reads it
    FormatSuffixes suffixes;
    std::optional<OutputFormat> output;  // how a scheme chooses it, if it can
    Codec loader;
    Codec saver;
    InOrder inOrder;
    Carries carries;
    // The saver's quality sets the file's size, so a size limit is met by
    // lowering it.
    bool sizeByQuality = false;
};

// What LibRaw reads of a camera RAW file. Never written: a scheme that keeps
// the source's format writes TIFF for it.
inline constexpr Carries kCameraRawCarries{.exifXmp = true, .sixteenBits = true};

// The rows in the order of the folder patterns: a folder lists its pictures
// suffix by suffix, the classic formats first, then those of phones and the
// web, then camera RAW.
inline constexpr std::array<ImageFormat, 22> imageFormats{{
    {.kind = FileKind::Bmp,
     .label = "BMP",
     .suffixes = {{"bmp", OpenFileEntry::Bitmap}},
     .output = OutputFormat::Bmp,
     .loader = Codec::ImageMagick,
     .saver = Codec::ImageMagick,
     .inOrder = {},
     .carries = {.resolution = true, .alpha = true, .palette = true}},
    {.kind = FileKind::Gif,
     .label = "GIF",
     .suffixes = {{"gif", OpenFileEntry::Gif}},
     .output = OutputFormat::Gif,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {},
     .carries = {.alpha = true, .palette = true}},
    {.kind = FileKind::Jpeg,
     .label = "JPG/JPEG",
     .suffixes = {{"jpg", OpenFileEntry::Jpeg}, {"jpeg", OpenFileEntry::Jpeg}, {"jpe"}},
     .output = OutputFormat::Jpeg,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {.decodes = true, .encodes = true},
     .carries = {.iccProfile = true, .exifXmp = true, .resolution = true},
     .sizeByQuality = true},
    {.kind = FileKind::Png,
     .label = "PNG",
     .suffixes = {{"png", OpenFileEntry::Png}},
     .output = OutputFormat::Png,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {},
     .carries = {.iccProfile = true,
                 .exifXmp = true,
                 .resolution = true,
                 .alpha = true,
                 .sixteenBits = true,
                 .palette = true}},
    // WBMP has no signature: it is recognised by its suffixes.
    {.kind = FileKind::Wbmp,
     .label = "WBMP",
     .suffixes = {{"wbmp", OpenFileEntry::Bitmap}, {"wbm", OpenFileEntry::Wbm}},
     .output = OutputFormat::Wbmp,
     .loader = Codec::ImageMagick,
     .saver = Codec::ImageMagick,
     .inOrder = {},
     .carries = {}},
    {.kind = FileKind::Pcx,
     .label = "PCX",
     .suffixes = {{"pcx", OpenFileEntry::Pcx}},
     .output = OutputFormat::Pcx,
     .loader = Codec::ImageMagick,
     .saver = Codec::ImageMagick,
     .inOrder = {},
     .carries = {.resolution = true, .palette = true}},
    {.kind = FileKind::Psd,
     .label = "PSD",
     .suffixes = {{"psd", OpenFileEntry::Photoshop}},
     .output = OutputFormat::Psd,
     .loader = Codec::ImageMagick,
     .saver = Codec::ImageMagick,
     .inOrder = {},
     .carries = {.iccProfile = true,
                 .resolution = true,
                 .alpha = true,
                 .sixteenBits = true,
                 .palette = true}},
    {.kind = FileKind::Tiff,
     .label = "TIF/TIFF",
     .suffixes = {{"tif", OpenFileEntry::Tiff}, {"tiff", OpenFileEntry::Tiff}},
     .output = OutputFormat::Tiff,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {},
     .carries = {.iccProfile = true,
                 .exifXmp = true,
                 .resolution = true,
                 .alpha = true,
                 .sixteenBits = true,
                 .palette = true}},
    {.kind = FileKind::WebP,
     .label = "WebP",
     .suffixes = {{"webp", OpenFileEntry::PhoneAndWeb}},
     .output = OutputFormat::WebP,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {.encodes = true},
     .carries = {.iccProfile = true, .exifXmp = true, .resolution = true, .alpha = true},
     .sizeByQuality = true},
    // HEIF and JPEG XL are written when a scheme keeps the source's format;
    // no scheme chooses them.
    {.kind = FileKind::Heif,
     .label = "HEIF",
     .suffixes = {{"heic", OpenFileEntry::PhoneAndWeb}, {"heif", OpenFileEntry::PhoneAndWeb}},
     .output = std::nullopt,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {},
     .carries = {.iccProfile = true,
                 .exifXmp = true,
                 .resolution = true,
                 .alpha = true,
                 .sixteenBits = true}},
    {.kind = FileKind::Avif,
     .label = "AVIF",
     .suffixes = {{"avif", OpenFileEntry::PhoneAndWeb}},
     .output = OutputFormat::Avif,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {.encodes = true},
     .carries = {.iccProfile = true,
                 .exifXmp = true,
                 .resolution = true,
                 .alpha = true,
                 .sixteenBits = true},
     .sizeByQuality = true},
    {.kind = FileKind::Jxl,
     .label = "JPEG XL",
     .suffixes = {{"jxl", OpenFileEntry::PhoneAndWeb}},
     .output = std::nullopt,
     .loader = Codec::Libvips,
     .saver = Codec::Libvips,
     .inOrder = {},
     .carries = {.iccProfile = true, .alpha = true, .sixteenBits = true}},
    // One page of the picture's size.
    {.kind = FileKind::Pdf,
     .label = "PDF",
     .suffixes = {{"pdf"}},
     .output = OutputFormat::Pdf,
     .loader = Codec::None,
     .saver = Codec::Cairo,
     .inOrder = {},
     .carries = {.resolution = true}},
    // Recognised by their content (most are TIFF files: LibRaw decides).
    {.kind = FileKind::Dng,
     .label = "DNG",
     .suffixes = {{"dng", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Canon,
     .label = "Canon CR2/CR3",
     .suffixes = {{"cr2", OpenFileEntry::CameraRaw}, {"cr3", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Nikon,
     .label = "Nikon NEF/NRW",
     .suffixes = {{"nef", OpenFileEntry::CameraRaw}, {"nrw", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Sony,
     .label = "Sony ARW",
     .suffixes = {{"arw", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Fujifilm,
     .label = "Fujifilm RAF",
     .suffixes = {{"raf", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Olympus,
     .label = "Olympus ORF",
     .suffixes = {{"orf", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Panasonic,
     .label = "Panasonic RW2",
     .suffixes = {{"rw2", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Pentax,
     .label = "Pentax PEF",
     .suffixes = {{"pef", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
    {.kind = FileKind::Samsung,
     .label = "Samsung SRW",
     .suffixes = {{"srw", OpenFileEntry::CameraRaw}},
     .output = std::nullopt,
     .loader = Codec::LibRaw,
     .saver = Codec::None,
     .inOrder = {},
     .carries = kCameraRawCarries},
}};

// formatOf indexes the table by kind.
static_assert([] {
    for (std::size_t i = 0; i < imageFormats.size(); ++i)
        if (imageFormats[i].kind != static_cast<FileKind>(i)) return false;
    return true;
}());

constexpr const ImageFormat& formatOf(FileKind kind) {
    return imageFormats[static_cast<std::size_t>(kind)];
}

// The row a file suffix (without the dot, any letter case) belongs to;
// nullptr for a suffix no format has.
const ImageFormat* formatForSuffix(std::string_view suffix);

// The row of a stored outputFormat; nullptr for a value no format has (the
// store accepts any number).
const ImageFormat* formatForOutput(std::int32_t storedFormat);

namespace formats {

constexpr bool offered(const FormatSuffix& suffix) {
    return suffix.entry != OpenFileEntry::NotOffered;
}

constexpr std::size_t patternCount() {
    std::size_t count = 0;
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes) count += offered(suffix) ? 1 : 0;
    return count;
}

constexpr std::size_t patternLength() {
    std::size_t length = 0;
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes)
            length += offered(suffix) ? 2 + suffix.text.size() : 0;
    return length;
}

// "*.bmp*.gif*.jpg…": the text the patterns below are views of.
inline constexpr std::array<char, patternLength()> patternText = [] {
    std::array<char, patternLength()> text{};
    std::size_t at = 0;
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes) {
            if (!offered(suffix)) continue;
            text[at++] = '*';
            text[at++] = '.';
            for (const char c : suffix.text) text[at++] = c;
        }
    return text;
}();

}  // namespace formats

// The patterns of the pictures the program looks for ("*.bmp", …), in table
// order: every suffix the open-file dialog offers.
inline constexpr std::array<std::string_view, formats::patternCount()> inputPatterns = [] {
    std::array<std::string_view, formats::patternCount()> patterns{};
    std::size_t at = 0;
    std::size_t next = 0;
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes) {
            if (!formats::offered(suffix)) continue;
            patterns[next++] =
                std::string_view(formats::patternText.data() + at, 2 + suffix.text.size());
            at += 2 + suffix.text.size();
        }
    return patterns;
}();

// The number of output format codes: 0 to outputFormatCount - 1, each one row.
inline constexpr std::size_t outputFormatCount = [] {
    std::size_t count = 0;
    for (const ImageFormat& format : imageFormats) count += format.output ? 1 : 0;
    return count;
}();

// The filter of the open-file dialog: each entry with the patterns of its
// suffixes, then every file.
std::string openFileFilterText();

}  // namespace varnetto
