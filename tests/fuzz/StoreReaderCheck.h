#pragma once

#include "schemes/StoreFormat.h"

#include <string>
#include <string_view>

namespace varnetto::testing {

// What must hold for any bytes given to the store reader; empty when it does.
inline std::string checkStoreReader(std::string_view bytes) {
    const StoreContents read = readStoreBytes(bytes);
    if (read.schemes.size() * kEmptySchemeRecordSize > bytes.size())
        return "more schemes than the bytes can hold";
    if (!read.headerRead && !read.schemes.empty()) return "schemes without a header";
    if (!read.complete) return {};
    if (read.trailingBytes > bytes.size()) return "more trailing bytes than the file holds";
    // A file read whole, with nothing after its last scheme, writes back to
    // its own bytes, whatever texts it holds.
    const std::string written = writeStoreBytes(read.header, read.schemes);
    if (read.trailingBytes == 0 && written != bytes) return "load and save changed the bytes";
    // Whatever was read whole writes out and reads back to the same bytes
    // (compared as bytes: NaN floats are not equal to themselves).
    const StoreContents again = readStoreBytes(written);
    if (!again.complete) return "rewritten store does not read back";
    if (again.schemes.size() != read.schemes.size()) return "scheme count changed on rewrite";
    if (writeStoreBytes(again.header, again.schemes) != written) return "store changed on rewrite";
    return {};
}

}  // namespace varnetto::testing
