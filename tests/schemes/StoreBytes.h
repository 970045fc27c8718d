#pragma once

// Builds store files byte by byte, independently of the store writer, so
// tests can say exactly what is on disk.

#include <cstdint>
#include <cstring>
#include <string>

namespace varnetto::testing {

class StoreBytes {
  public:
    StoreBytes& i32(std::int32_t v) { return raw(&v, 4); }
    StoreBytes& f32(float v) { return raw(&v, 4); }
    // Text in the file's own encoding, with the shortest length prefix.
    StoreBytes& text(const std::string& bytes) {
        const std::uint64_t n = bytes.size();
        if (n < 255) {
            u8(static_cast<std::uint8_t>(n));
        } else if (n < 0xFFFE) {
            u8(0xFF);
            u16(static_cast<std::uint16_t>(n));
        } else {
            u8(0xFF);
            u16(0xFFFF);
            std::uint32_t v = static_cast<std::uint32_t>(n);
            raw(&v, 4);
        }
        bytes_ += bytes;
        return *this;
    }
    StoreBytes& u8(std::uint8_t v) { return raw(&v, 1); }
    StoreBytes& u16(std::uint16_t v) { return raw(&v, 2); }
    StoreBytes& header(std::int32_t first = 2000, const std::string& firstText = "") {
        i32(first).i32(2000).i32(0).i32(2000);
        for (int k = 0; k < 5; ++k) i32(k + 11);
        text(firstText);
        for (int k = 0; k < 4; ++k) text("");
        return *this;
    }
    // One record in storage order; the two texts given go to name and textContent.
    StoreBytes& scheme(const std::string& name, const std::string& caption = "",
                       std::int32_t seed = 0, const std::string& firstReserved = "") {
        text(name).text("/out").i32(1).text("Img");
        for (int k = 0; k < 12; ++k) i32(seed + k);
        text(caption).i32(120).text("Arial");
        for (int k = 0; k < 7; ++k) i32(seed + 100 + k);
        f32(0.25f).f32(0.75f);
        i32(1).text("Gold").i32(0);
        for (int k = 0; k < 8; ++k) text("");
        for (int k = 0; k < 4; ++k) i32(k);
        text("Seal").text("seal.bmp").text("");
        f32(0.5f).f32(0.125f);
        for (int k = 0; k < 19; ++k) i32(seed + 200 + k);
        f32(-90.0f);
        for (int k = 0; k < 19; ++k) i32(seed + 300 + k);
        text(firstReserved);
        for (int k = 1; k < 10; ++k) text("");
        return *this;
    }
    // Bytes as they stand, for layouts the writer would never produce.
    StoreBytes& bytes(const std::string& raw) {
        bytes_ += raw;
        return *this;
    }
    const std::string& str() const { return bytes_; }

  private:
    StoreBytes& raw(const void* p, size_t n) {
        bytes_.append(static_cast<const char*>(p), n);
        return *this;
    }
    std::string bytes_;
};

}  // namespace varnetto::testing
