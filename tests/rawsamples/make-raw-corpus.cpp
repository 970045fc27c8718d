// Writes the seed corpus of the RAW loader's fuzz target and its replay test:
// small generated DNGs, sound and damaged, and the openings of the other RAW
// signatures. make-raw-corpus OUT_FOLDER
#include "tests/rawsamples/DngSamples.h"

#include <vips/vips8>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using varnetto::rawsamples::dngBytes;
using varnetto::rawsamples::DngSample;

std::string le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// The bytes with the first entry of tag (type, one value old) set to value.
std::string retagged(std::string bytes, int tag, int type, std::uint32_t old, std::uint32_t value) {
    const int size = type == 3 ? 2 : 4;
    const std::string entry = le(tag, 2) + le(type, 2) + le(1, 4) + le(old, size);
    const std::size_t at = bytes.find(entry);
    if (at != std::string::npos) bytes.replace(at + 8, size, le(value, size));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) || argc != 2) {
        std::fprintf(stderr, "usage: make-raw-corpus OUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(out / name, std::ios::binary) << bytes;
    };
    // LibRaw takes no mosaic under 22 pixels a side.
    const DngSample plain{.width = 48, .height = 32};
    const std::string dng = dngBytes(plain);
    const auto size = static_cast<std::uint32_t>(dng.size());
    write("plain.dng", dng);
    write("turned-6.dng", dngBytes({.width = 48, .height = 32, .orientation = 6}));
    write("preview-8.dng",
          dngBytes({.width = 48, .height = 32, .orientation = 8, .previewLongSide = 24}));
    for (int part = 1; part <= 4; ++part)
        write("cut-" + std::to_string(part) + ".dng", dng.substr(0, dng.size() * part / 5));
    // The directories sit at the end: flips there hit tags and offsets.
    for (int i = 0; i < 12; ++i) {
        std::string flipped = dng;
        flipped[dng.size() - 1 - static_cast<std::size_t>(i) * 37] ^=
            static_cast<char>(1 << (i % 8));
        write("flip-" + std::to_string(i) + ".dng", flipped);
    }
    write("wide.dng", retagged(dng, 256, 4, 48, 0x7FFFFFFF));
    write("tall.dng", retagged(dng, 257, 4, 32, 100000));
    write("late-strip.dng", retagged(dng, 273, 4, 8, size - 100));
    write("bits-0.dng", retagged(dng, 258, 3, 12, 0));
    write("bits-32.dng", retagged(dng, 258, 3, 12, 32));
    write("black-over-white.dng", retagged(dng, 50714, 4, 256, 5000));
    write("compressed.dng", retagged(dng, 259, 3, 1, 7));
    write("olympus.orf", "IIRO" + std::string(60, '\x08'));
    write("panasonic.rw2", "IIU" + std::string(1, '\0') + le(8, 4) + std::string(40, '\x01'));
    write("fuji.raf", "FUJIFILMCCD-RAW 0201FF383501" + std::string(100, '\xff'));
    write("canon.cr3", le(0x18000000, 4) + "ftypcrx " + std::string(80, '\0'));
    return 0;
}
