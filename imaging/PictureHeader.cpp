#include "imaging/FormatCodecs.h"
#include "imaging/RawPictures.h"

#include "common/RegularFile.h"
#include "common/Reporter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include <unistd.h>

namespace varnetto::detail {

namespace {

constexpr std::size_t kHeaderBytes = 160;
using HeaderBytes = std::array<unsigned char, kHeaderBytes>;

[[noreturn]] void refuse(const std::string& path, const std::string& reason) {
    throw ImagingError(formatMessage("无法读取图像 %s：%s", path.c_str(), reason.c_str()));
}

std::uint32_t le16(const HeaderBytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}
std::int64_t le32(const HeaderBytes& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}
std::uint32_t be16(const HeaderBytes& b, std::size_t at) {
    return (b[at] << 8) | b[at + 1];
}
std::int64_t be32(const HeaderBytes& b, std::size_t at) {
    return (static_cast<std::int64_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) |
           b[at + 3];
}

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// An ISO media file whose major or compatible brands name a HEIF still
// picture (HEIC, AVIF and their relatives); AVIF when its major brand says so.
std::optional<FileKind> heifKind(const HeaderBytes& b, std::size_t length) {
    if (length < 16 || !std::equal(b.begin() + 4, b.begin() + 8, "ftyp")) return std::nullopt;
    if (std::equal(b.begin() + 8, b.begin() + 12, "avif") ||
        std::equal(b.begin() + 8, b.begin() + 12, "avis"))
        return FileKind::Avif;
    const std::size_t boxEnd = std::min<std::size_t>(static_cast<std::size_t>(be32(b, 0)), length);
    static constexpr std::array<const char*, 12> brands{"heic", "heix", "hevc", "hevx",
                                                        "heim", "heis", "hevm", "hevs",
                                                        "mif1", "msf1", "avif", "avis"};
    // Major brand at 8, minor version at 12, compatible brands from 16.
    for (std::size_t at = 8; at + 4 <= boxEnd; at += at == 8 ? 8 : 4)
        for (const char* brand : brands)
            if (std::equal(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4,
                           brand))
                return FileKind::Heif;
    return std::nullopt;
}

std::optional<FileKind> sniff(const HeaderBytes& b, std::size_t length, const std::string& path) {
    auto starts = [&](std::initializer_list<unsigned char> magic) {
        return length >= magic.size() && std::equal(magic.begin(), magic.end(), b.begin());
    };
    if (starts({0xFF, 0xD8, 0xFF})) return FileKind::Jpeg;
    if (starts({0x89, 'P', 'N', 'G'})) return FileKind::Png;
    if (starts({'G', 'I', 'F', '8'})) return FileKind::Gif;
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return FileKind::Tiff;
    if (starts({'8', 'B', 'P', 'S'})) return FileKind::Psd;
    if (starts({'B', 'M'}) && length >= 30) return FileKind::Bmp;
    if (length >= 128 - 32 && b[0] == 0x0A && b[1] <= 5 && b[2] <= 1) return FileKind::Pcx;
    if (starts({'R', 'I', 'F', 'F'}) && length >= 12 &&
        std::equal(b.begin() + 8, b.begin() + 12, "WEBP"))
        return FileKind::WebP;
    if (const auto heif = heifKind(b, length)) return heif;
    if (starts({0xFF, 0x0A}) || starts({0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A}))
        return FileKind::Jxl;
    // Formats without a signature go by their name.
    const std::string ext = lowerExtension(path);
    const ImageFormat* named = ext.empty() ? nullptr : formatForSuffix(ext.substr(1));
    if (named && named->kind == FileKind::Wbmp && length >= 4 && b[0] == 0) return FileKind::Wbmp;
    return std::nullopt;
}

// WBMP sizes are variable-length: seven bits a byte, high bit = more follows.
bool readMultiByte(const HeaderBytes& b, std::size_t length, std::size_t& at, std::int64_t& out) {
    out = 0;
    for (int i = 0; i < 5 && at < length; ++i) {
        const unsigned char byte = b[at++];
        out = (out << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

void readBmp(const HeaderBytes& b, PictureHeader& h) {
    const std::uint32_t dibSize = le16(b, 14) | (le16(b, 16) << 16);
    int bits = 24;
    if (dibSize == 12) {
        h.width = le16(b, 18);
        h.height = le16(b, 20);
        bits = static_cast<int>(le16(b, 24));
    } else {
        h.width = le32(b, 18);
        h.height = std::llabs(le32(b, 22));
        bits = static_cast<int>(le16(b, 28));
    }
    h.colorType = bits == 1 || bits == 4 ? ColorType::Palette16
                  : bits == 8            ? ColorType::Palette256
                                         : ColorType::TrueColor24;
    // Two colours are black and white only when the palette says so.
    const std::size_t palette = 14 + dibSize;
    if (bits == 1 && dibSize != 12 && palette + 8 <= kHeaderBytes) {
        auto gray = [&](std::size_t at) {
            return b[at] == b[at + 1] && b[at + 1] == b[at + 2] && (b[at] == 0 || b[at] == 255);
        };
        if (gray(palette) && gray(palette + 4) && b[palette] != b[palette + 4])
            h.colorType = ColorType::BlackWhite;
    }
}

void readPcx(const HeaderBytes& b, PictureHeader& h) {
    h.width = static_cast<std::int64_t>(le16(b, 8)) - le16(b, 4) + 1;
    h.height = static_cast<std::int64_t>(le16(b, 10)) - le16(b, 6) + 1;
    const int bits = b[3];
    const int planes = b[65];
    if (bits == 1 && planes == 1)
        h.colorType = ColorType::BlackWhite;
    else if (bits * planes == 4)
        h.colorType = ColorType::Palette16;
    else if (bits == 8 && planes == 1)
        h.colorType = ColorType::Palette256;
    else
        h.colorType = ColorType::TrueColor24;
}

void readPsd(const HeaderBytes& b, PictureHeader& h) {
    h.height = be32(b, 14);
    h.width = be32(b, 18);
    if (be16(b, 22) == 16) h.bytesPerSample = 2;
    switch (be16(b, 24)) {
        case 0:
            h.colorType = ColorType::BlackWhite;
            break;
        case 1:
            h.colorType = ColorType::Gray256;
            break;
        case 2:
            h.colorType = ColorType::Palette256;
            break;
        default:
            h.colorType = ColorType::TrueColor24;
    }
}

void readWbmp(const HeaderBytes& b, std::size_t length, const std::string& path, PictureHeader& h) {
    std::size_t at = 0;
    std::int64_t type = 0;
    if (!readMultiByte(b, length, at, type) || type != 0 || at >= length)
        refuse(path, "不是 WBMP 文件");
    const unsigned char fixHeader = b[at++];
    if (fixHeader & 0x80) refuse(path, "不支持带扩展头的 WBMP 文件");
    if (!readMultiByte(b, length, at, h.width) || !readMultiByte(b, length, at, h.height))
        refuse(path, "WBMP 文件头不完整");
    h.colorType = ColorType::BlackWhite;
}

ColorType pngColorType(const HeaderBytes& b) {
    const int depth = b[24];
    switch (b[25]) {
        case 0:
            return depth == 1   ? ColorType::BlackWhite
                   : depth <= 4 ? ColorType::Gray16
                                : ColorType::Gray256;
        case 3:
            return depth <= 4 ? ColorType::Palette16 : ColorType::Palette256;
        case 4:
            return ColorType::Gray256;
        default:
            return ColorType::TrueColor24;
    }
}

ColorType gifColorType(const HeaderBytes& b) {
    // Global colour table size: 2^(n+1) entries.
    return (b[10] & 0x80) && (b[10] & 0x07) <= 3 ? ColorType::Palette16 : ColorType::Palette256;
}

// What the first TIFF directory says of its picture.
struct FirstTiffDirectory {
    std::uint32_t bits = 8;
    std::uint32_t photometric = 2;
    std::uint32_t samples = 1;
    bool dng = false;  // a DNGVersion tag: a camera RAW file, whatever its name
};

FirstTiffDirectory readFirstTiffDirectory(int descriptor, const HeaderBytes& b) {
    constexpr std::uint32_t kDngVersionTag = 50706;
    const bool little = b[0] == 'I';
    auto number = [little](const unsigned char* p, int size) {
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(p[little ? i : size - 1 - i]) << (8 * i);
        return value;
    };
    FirstTiffDirectory found;
    off_t at = number(&b[4], 4);
    auto read = [&](unsigned char* into, size_t size) {
        const bool whole = ::pread(descriptor, into, size, at) == static_cast<ssize_t>(size);
        at += static_cast<off_t>(size);
        return whole;
    };
    unsigned char count[2];
    if (!read(count, 2)) return found;
    for (std::uint32_t i = 0, n = std::min<std::uint32_t>(number(count, 2), 512); i < n; ++i) {
        unsigned char entry[12];
        if (!read(entry, 12)) break;
        const std::uint32_t tag = number(entry, 2);
        const std::uint32_t value =
            number(entry + 2, 2) == 3 ? number(entry + 8, 2) : number(entry + 8, 4);
        if (tag == 258 && number(entry + 4, 4) == 1) found.bits = value;
        if (tag == 262) found.photometric = value;
        if (tag == 277) found.samples = value;
        if (tag == kDngVersionTag) found.dng = true;
    }
    return found;
}

ColorType tiffColorType(const FirstTiffDirectory& d) {
    if (d.photometric <= 1 && d.samples <= 2)
        return d.bits == 1   ? ColorType::BlackWhite
               : d.bits <= 4 ? ColorType::Gray16
                             : ColorType::Gray256;
    if (d.photometric == 3) return d.bits <= 4 ? ColorType::Palette16 : ColorType::Palette256;
    return ColorType::TrueColor24;
}

// The signatures of the RAW formats: TIFF (DNG, CR2, NEF, ARW, PEF, SRW…),
// Olympus, Panasonic, Fujifilm and Canon's ISO media files.
bool rawSignature(const HeaderBytes& b, std::size_t length) {
    auto at = [&](std::size_t offset, std::string_view magic) {
        return length >= offset + magic.size() &&
               std::equal(magic.begin(), magic.end(), b.begin() + static_cast<long>(offset));
    };
    using namespace std::string_view_literals;
    return at(0, "II*\0"sv) || at(0, "MM\0*"sv) || at(0, "IIRO") || at(0, "IIRS") ||
           at(0, "MMOR") || at(0, "IIU\0"sv) || at(0, "FUJIFILMCCD-RAW") || at(4, "ftypcrx ");
}

// A camera RAW file: the row of its name, or DNG's for one named otherwise
// (a DNG converter's ".tif", a renamed copy).
std::optional<PictureHeader> rawHeader(const std::string& path, const HeaderBytes& bytes,
                                       std::size_t length, std::optional<FileKind> sniffed,
                                       int descriptor) {
    const std::string ext = lowerExtension(path);
    const ImageFormat* named = ext.empty() ? nullptr : formatForSuffix(ext.substr(1));
    const bool namedRaw = named && named->loader == Codec::LibRaw;
    // Formats without a signature of their own go by their name; no camera
    // writes a file that short.
    constexpr std::size_t kShortest = 16;
    if (!rawSignature(bytes, length) && (sniffed || !namedRaw || length < kShortest))
        return std::nullopt;
    std::string reason;
    if (const std::optional<RawFacts> raw =
            readRawFacts("/proc/self/fd/" + std::to_string(descriptor), reason)) {
        PictureHeader header;
        header.kind = namedRaw ? named->kind : FileKind::Dng;
        header.width = raw->width;
        header.height = raw->height;
        header.bytesPerSample = 2;
        return header;
    }
    // A TIFF that no camera wrote stays a TIFF.
    if (sniffed == FileKind::Tiff && !readFirstTiffDirectory(descriptor, bytes).dng)
        return std::nullopt;
    refuse(path, reason);
}

}  // namespace

void requireOpened(const RegularFile& file, const std::string& path) {
    if (file.opened()) return;
    if (std::filesystem::is_directory(path)) refuse(path, "这是一个文件夹");
    if (file.notRegular()) refuse(path, "不是普通文件");
    refuse(path, std::strerror(file.openError()));
}

PictureHeader readPictureHeader(const std::string& path) {
    const RegularFile file(path);
    return readPictureHeader(file, path);
}

PictureHeader readPictureHeader(const RegularFile& file, const std::string& path) {
    const ErrorScope scope;
    requireOpened(file, path);
    HeaderBytes bytes{};
    std::size_t length = 0;
    while (length < kHeaderBytes) {
        const ssize_t n = ::pread(file.descriptor(), bytes.data() + length, kHeaderBytes - length,
                                  static_cast<off_t>(length));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            refuse(path, std::strerror(errno));
        }
        length += static_cast<std::size_t>(n);
    }

    const std::optional<FileKind> kind = sniff(bytes, length, path);
    if (auto raw = rawHeader(path, bytes, length, kind, file.descriptor())) return *raw;
    if (!kind) refuse(path, "不是可识别的图像格式");
    PictureHeader header;
    header.kind = *kind;
    switch (header.kind) {
        case FileKind::Bmp:
            readBmp(bytes, header);
            break;
        case FileKind::Pcx:
            readPcx(bytes, header);
            break;
        case FileKind::Psd:
            readPsd(bytes, header);
            break;
        case FileKind::Wbmp:
            readWbmp(bytes, length, path, header);
            break;
        default:
            try {
                const vips::VImage image = codecOf(header.kind).load(file.descriptor());
                header.width = image.width();
                header.height = image.height();
                if (image.format() == VIPS_FORMAT_USHORT) header.bytesPerSample = 2;
                header.colorType =
                    header.kind == FileKind::Png   ? pngColorType(bytes)
                    : header.kind == FileKind::Gif ? gifColorType(bytes)
                    : header.kind == FileKind::Tiff
                        ? tiffColorType(readFirstTiffDirectory(file.descriptor(), bytes))
                        : (image.bands() <= 2 ? ColorType::Gray256 : ColorType::TrueColor24);
            } catch (const vips::VError& error) {
                refuse(path, takeVipsError(error));
            }
    }
    return header;
}

}  // namespace varnetto::detail
