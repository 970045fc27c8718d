#include "ImagingFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace varnetto::testing {
namespace {

// Damaged files of every input format: each load either works or throws
// ImagingError, never crashes or hangs.
TEST(Decoding, DamagedFilesNeverCrash) {
    TempDir dir;
    const VImage picture = redBlue(24, 16);
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> sources = {
        {"bmp", [&](const std::string& p) { writeMagick(picture, "BMP", p); }},
        {"pcx", [&](const std::string& p) { writeMagick(picture, "PCX", p); }},
        {"psd", [&](const std::string& p) { writeMagick(picture, "PSD", p); }},
        {"wbmp",
         [&](const std::string& p) {
             writeMagick(picture.colourspace(VIPS_INTERPRETATION_B_W), "WBMP", p,
                         Magick::BilevelType);
         }},
        {"png", [&](const std::string& p) { picture.pngsave(p.c_str()); }},
        {"gif", [&](const std::string& p) { picture.gifsave(p.c_str()); }},
        {"jpg", [&](const std::string& p) { picture.jpegsave(p.c_str()); }},
        {"tif", [&](const std::string& p) { picture.tiffsave(p.c_str()); }},
    };
    std::mt19937 random(7);
    for (const auto& [ext, write] : sources) {
        const std::string original = dir.str("original." + ext);
        write(original);
        const std::string bytes = readBytes(original);
        for (int round = 0; round < 40; ++round) {
            std::string damaged = bytes;
            const int changes = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < changes; ++i)
                damaged[random() % std::min<std::size_t>(damaged.size(), 200)] =
                    static_cast<char>(random());
            if (round % 5 == 4) damaged.resize(random() % damaged.size());
            const std::string path = dir.str("damaged." + ext);
            writeBytes(path, damaged);
            CImageBox box;
            try {
                box.LoadFromFile(path);
                EXPECT_GT(box.ImageWidth(), 0);
            } catch (const ImagingError&) {
                EXPECT_FALSE(box.HasImage());
            }
        }
    }
}

}  // namespace
}  // namespace varnetto::testing
