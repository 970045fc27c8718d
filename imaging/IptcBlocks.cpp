#include "imaging/IptcBlocks.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace varnetto::detail {

namespace {

constexpr std::string_view kPhotoshop("Photoshop 3.0\0", 14);
constexpr std::uint32_t kIimResource = 0x0404;
constexpr std::uint32_t kIimDigestResource = 0x0425;

// IIM datasets that say where: 2:26 and 2:27 the location, 2:90 the city,
// 2:92 the sublocation, 2:95 the province, 2:100 and 2:101 the country.
bool namesPlace(unsigned char record, unsigned char dataset) {
    constexpr std::array<unsigned char, 7> kPlaces{26, 27, 90, 92, 95, 100, 101};
    return record == 2 && std::find(kPlaces.begin(), kPlaces.end(), dataset) != kPlaces.end();
}

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void putBigEndian(std::string& out, std::uint32_t value, int size) {
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The IIM datasets less those naming a place; nullopt when the data is not
// IIM as it should be, so that it is dropped rather than passed on unread.
std::optional<std::string> iimWithoutPlaces(std::string_view iim) {
    std::string kept;
    for (std::size_t at = 0; at < iim.size();) {
        if (iim.size() - at < 5 || static_cast<unsigned char>(iim[at]) != 0x1C) {
            // Photoshop pads the block with zeros.
            if (iim.find_first_not_of('\0', at) == std::string_view::npos) break;
            return std::nullopt;
        }
        std::size_t header = 5;
        std::size_t length = bigEndian(iim, at + 3, 2);
        if (length & 0x8000) {
            const std::size_t extra = length & 0x7FFF;
            if (extra > 4 || iim.size() - at < 5 + extra) return std::nullopt;
            length = bigEndian(iim, at + 5, extra);
            header += extra;
        }
        if (iim.size() - at - header < length) return std::nullopt;
        const auto record = static_cast<unsigned char>(iim[at + 1]);
        const auto dataset = static_cast<unsigned char>(iim[at + 2]);
        if (!namesPlace(record, dataset)) kept.append(iim.substr(at, header + length));
        at += header + length;
    }
    return kept;
}

}  // namespace

// The resource with the IIM's digest goes with any change, as it would no
// longer match.
std::optional<std::string> iptcWithoutPlaces(std::string_view block) {
    if (!block.starts_with(kPhotoshop)) return iimWithoutPlaces(block);
    std::string out(kPhotoshop);
    for (std::size_t at = kPhotoshop.size(); at < block.size();) {
        if (block.size() - at < 8 || block.substr(at, 4) != "8BIM") return std::nullopt;
        const std::uint32_t id = bigEndian(block, at + 4, 2);
        std::size_t name = 1 + static_cast<unsigned char>(block[at + 6]);
        name += name % 2;
        const std::size_t sizeAt = at + 6 + name;
        if (block.size() < sizeAt + 4) return std::nullopt;
        const std::size_t size = bigEndian(block, sizeAt, 4);
        if (block.size() - sizeAt - 4 < size) return std::nullopt;
        const std::string_view data = block.substr(sizeAt + 4, size);
        const std::size_t next = sizeAt + 4 + size + size % 2;
        if (id == kIimResource) {
            const std::optional<std::string> iim = iimWithoutPlaces(data);
            if (!iim) return std::nullopt;
            out.append(block.substr(at, 6 + name));
            putBigEndian(out, static_cast<std::uint32_t>(iim->size()), 4);
            out += *iim;
            if (iim->size() % 2) out.push_back('\0');
        } else if (id != kIimDigestResource) {
            out.append(block.substr(at, std::min(next, block.size()) - at));
        }
        at = next;
    }
    return out;
}

std::string bareIim(std::string_view block) {
    if (!block.starts_with(kPhotoshop)) return std::string(block);
    for (std::size_t at = kPhotoshop.size(); at + 8 <= block.size();) {
        if (block.substr(at, 4) != "8BIM") break;
        std::size_t name = 1 + static_cast<unsigned char>(block[at + 6]);
        name += name % 2;
        const std::size_t sizeAt = at + 6 + name;
        if (block.size() < sizeAt + 4) break;
        const std::size_t size = bigEndian(block, sizeAt, 4);
        if (block.size() - sizeAt - 4 < size) break;
        if (bigEndian(block, at + 4, 2) == kIimResource)
            return std::string(block.substr(sizeAt + 4, size));
        at = sizeAt + 4 + size + size % 2;
    }
    return {};
}

std::string photoshopIptc(std::string_view block) {
    if (block.starts_with(kPhotoshop)) return std::string(block);
    std::string out(kPhotoshop);
    out += "8BIM";
    putBigEndian(out, kIimResource, 2);
    out.append(2, '\0');  // an empty name, padded to an even length
    putBigEndian(out, static_cast<std::uint32_t>(block.size()), 4);
    out += block;
    if (block.size() % 2) out.push_back('\0');
    return out;
}

}  // namespace varnetto::detail
