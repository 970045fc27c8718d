// Writes generated DNG files: make-dng OUT.dng WIDTH HEIGHT [ORIENTATION
// [PREVIEW_LONG_SIDE [SEED]]]
#include "tests/rawsamples/DngSamples.h"

#include <vips/vips8>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0])) return 1;
    if (argc < 4) {
        std::fprintf(
            stderr,
            "usage: make-dng OUT.dng WIDTH HEIGHT [ORIENTATION [PREVIEW_LONG_SIDE [SEED]]]\n");
        return 2;
    }
    varnetto::rawsamples::DngSample sample;
    sample.width = std::atoi(argv[2]);
    sample.height = std::atoi(argv[3]);
    if (argc > 4) sample.orientation = std::atoi(argv[4]);
    if (argc > 5) sample.previewLongSide = std::atoi(argv[5]);
    if (argc > 6) sample.seed = std::atoi(argv[6]);
    try {
        varnetto::rawsamples::writeDng(sample, argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-dng: %s\n", error.what());
        return 1;
    }
    return 0;
}
