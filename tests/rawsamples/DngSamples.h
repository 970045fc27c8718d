#pragma once

// Camera RAW files made in code: DNGs holding a Bayer mosaic of a known scene
// with the tags a RAW decoder needs, for the tests, the fuzz corpus and the
// benchmarks. No real camera file is needed or shipped.

#include <array>
#include <string>

namespace varnetto::rawsamples {

// The scene, upright: four quadrants, red top left, green top right, blue
// bottom left, a neutral grey bottom right. Linear sRGB, 0 to 1.
enum class Quadrant { Red, Green, Blue, Grey };
std::array<double, 3> sceneColour(Quadrant quadrant, int seed = 0);

struct DngSample {
    int width = 64;  // upright
    int height = 48;
    int orientation = 1;      // EXIF: 1, 3, 6 or 8
    int previewLongSide = 0;  // the embedded JPEG preview; 0: none
    // Files that differ in content (benchmark sets); 0 is the reference scene.
    int seed = 0;
};

// The preview's grey quadrant is lighter than the decoded mosaic's, so a
// picture tells which of the two it came from.
inline constexpr int kPreviewGrey = 200;
// The camera's white balance: a neutral surface gives these raw responses.
inline constexpr std::array<double, 3> kAsShotNeutral{0.5, 1.0, 0.7};
inline constexpr int kBlackLevel = 256;
inline constexpr int kWhiteLevel = 4095;

// Make, model, lens and exposure written into the EXIF directory.
inline constexpr const char* kMake = "Varnetto";
inline constexpr const char* kModel = "Test Camera";
inline constexpr const char* kLens = "Varnetto 35mm F1.8";
inline constexpr const char* kCaptureTime = "2024:05:17 14:30:05";

// The bytes of a little-endian DNG: IFD 0 holds the preview (when there is
// one) and the colour tags, a sub-IFD the 12-bit RGGB mosaic.
std::string dngBytes(const DngSample& sample);
void writeDng(const DngSample& sample, const std::string& path);

}  // namespace varnetto::rawsamples
