#pragma once

#include "schemes/Scheme.h"
#include "schemes/SchemeStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

// The largest store file that is read: far beyond any real store (a scheme
// takes a few hundred bytes).
inline constexpr std::uint64_t kLargestStore = 256u << 20;

// A record whose 27 texts are all empty takes this many bytes.
inline constexpr size_t kEmptySchemeRecordSize = 307;

struct StoreContents {
    SchemeListHeader header;
    std::vector<Scheme> schemes;
    bool headerRead = false;   // the header was read whole
    bool complete = false;     // every announced scheme was read
    size_t trailingBytes = 0;  // after the last announced scheme
};

// Decodes store bytes. Every length and count is checked against the bytes
// that remain before anything is allocated; a damaged file yields the
// schemes read completely before the damage. A file read complete without
// trailing bytes writes back to the same bytes.
StoreContents readStoreBytes(std::string_view bytes);

// Why a store of size bytes could not be loaded again (it exceeds
// kLargestStore), naming the scheme and field of its longest text; empty
// when it could be.
std::string storeSizeRefusal(const SchemeListHeader& header, const std::vector<Scheme>& schemes,
                             std::uint64_t size);

// Encodes a whole store file.
template <class Schemes>
std::string writeStoreBytes(const SchemeListHeader& header, const Schemes& schemes);

void appendHeader(std::string& out, const SchemeListHeader& header, std::int32_t count);
void appendScheme(std::string& out, const Scheme& scheme);

template <class Schemes>
std::string writeStoreBytes(const SchemeListHeader& header, const Schemes& schemes) {
    std::string out;
    appendHeader(out, header, static_cast<std::int32_t>(std::size(schemes)));
    for (const Scheme& scheme : schemes) appendScheme(out, scheme);
    return out;
}

}  // namespace varnetto
