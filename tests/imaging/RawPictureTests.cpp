#include "ImagingFixtures.h"
#include "imaging/PictureCost.h"
#include "imaging/PictureProbe.h"
#include "imaging/ReducedDecode.h"
#include "support/TestSupport.h"
#include "tests/rawsamples/DngSamples.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnetto::testing {
namespace {

using rawsamples::DngSample;
using rawsamples::Quadrant;
using ::testing::HasSubstr;

// The centre of a quadrant of an upright width x height picture, in 8-bit
// levels (full decodes keep LibRaw's 16 bits).
std::vector<int> quadrantPixel(const VImage& image, Quadrant q) {
    const bool left = q == Quadrant::Red || q == Quadrant::Blue;
    const bool top = q == Quadrant::Red || q == Quadrant::Green;
    const VImage levels =
        image.format() == VIPS_FORMAT_USHORT ? image.colourspace(VIPS_INTERPRETATION_sRGB) : image;
    return pixel(levels, image.width() * (left ? 1 : 3) / 4, image.height() * (top ? 1 : 3) / 4);
}

// Red stays red, green green, blue blue, and the grey neutral.
void expectScene(const VImage& image, const std::string& what) {
    SCOPED_TRACE(what);
    const auto red = quadrantPixel(image, Quadrant::Red);
    const auto green = quadrantPixel(image, Quadrant::Green);
    const auto blue = quadrantPixel(image, Quadrant::Blue);
    const auto grey = quadrantPixel(image, Quadrant::Grey);
    auto dominant = [](const std::vector<int>& p, int channel) {
        const int other = std::max(p[(channel + 1) % 3], p[(channel + 2) % 3]);
        EXPECT_GT(p[channel], other * 3 / 2 + 40) << "channel " << channel;
    };
    dominant(red, 0);
    dominant(green, 1);
    dominant(blue, 2);
    constexpr int kNeutral = 6;
    EXPECT_NEAR(grey[0], grey[1], kNeutral);
    EXPECT_NEAR(grey[2], grey[1], kNeutral);
}

VImage loaded(const std::string& path) {
    CImageBox box;
    box.LoadFromFile(path);
    return box.GetBitmap();
}

std::string written(const TempDir& dir, const std::string& name, const DngSample& sample) {
    const std::string path = dir.str(name);
    rawsamples::writeDng(sample, path);
    return path;
}

TEST(RawPictures, DecodeUprightInTheSceneColours) {
    struct Case {
        int orientation;
        int previewLongSide;
    };
    TempDir dir;
    for (const Case c : {Case{1, 0}, Case{3, 0}, Case{6, 120}, Case{8, 0}}) {
        const DngSample sample{.width = 96,
                               .height = 64,
                               .orientation = c.orientation,
                               .previewLongSide = c.previewLongSide};
        const std::string path = written(dir, "o" + std::to_string(c.orientation) + ".dng", sample);
        const VImage image = loaded(path);
        const std::string what = "orientation " + std::to_string(c.orientation);
        EXPECT_EQ(image.width(), 96) << what;
        EXPECT_EQ(image.height(), 64) << what;
        EXPECT_EQ(image.format(), VIPS_FORMAT_USHORT) << what;
        expectScene(image, what);
        // The decoded mosaic, not the preview with its lighter grey.
        EXPECT_LT(quadrantPixel(image, Quadrant::Grey)[1], rawsamples::kPreviewGrey - 40) << what;
        const auto facts = probePicture(path);
        ASSERT_TRUE(facts) << what;
        EXPECT_EQ(facts->width, 96) << what;
        EXPECT_EQ(facts->height, 64) << what;
    }
}

// Thumbnails come from the embedded preview when it is large enough, else
// from a reduced decode; either way upright and agreeing with the output.
TEST(RawPictures, ThumbnailsUseTheEmbeddedPreviewWhenLargeEnough) {
    struct Case {
        int orientation;
        int previewLongSide;
        bool fromPreview;
    };
    TempDir dir;
    for (const Case c :
         {Case{1, 400, true}, Case{6, 400, true}, Case{8, 40, false}, Case{1, 0, false}}) {
        const DngSample sample{.width = 640,
                               .height = 480,
                               .orientation = c.orientation,
                               .previewLongSide = c.previewLongSide};
        const std::string path = written(dir, "t.dng", sample);
        const std::string what = "orientation " + std::to_string(c.orientation) + ", preview " +
                                 std::to_string(c.previewLongSide);
        const VImage thumb = CImageBox::Thumbnail(path, 160, 120);
        EXPECT_EQ(thumb.width(), 160) << what;
        EXPECT_EQ(thumb.height(), 120) << what;
        expectScene(thumb, what);
        const int grey = quadrantPixel(thumb, Quadrant::Grey)[1];
        if (c.fromPreview)
            EXPECT_NEAR(grey, rawsamples::kPreviewGrey, 6) << what;
        else
            EXPECT_LT(grey, rawsamples::kPreviewGrey - 40) << what;
        // The preview box's reduced decode takes the same path.
        const ReducedPicture reduced = decodeReduced(path, 4);
        EXPECT_EQ(reduced.fullWidth, 640) << what;
        EXPECT_EQ(reduced.picture.width(), 160) << what;
        expectScene(reduced.picture, what + " (reduced)");
    }
}

// The loader decides, not the name: a DNG named .tif is RAW, a TIFF named
// .dng stays a TIFF.
TEST(RawPictures, RecognisedByContent) {
    TempDir dir;
    const DngSample sample{.width = 96, .height = 64, .previewLongSide = 48};
    const std::string asTiff = written(dir, "converted.tif", sample);
    EXPECT_EQ(loaded(asTiff).width(), 96);
    expectScene(loaded(asTiff), "DNG named .tif");
    const std::string plain = dir.str("plain.dng");
    redBlue(30, 20).tiffsave(plain.c_str());
    const VImage tiff = loaded(plain);
    EXPECT_EQ(tiff.width(), 30);
    EXPECT_EQ(pixel(tiff, 2, 2), (std::vector<int>{255, 0, 0}));

    // The memory budget counts LibRaw's working copies, not a TIFF's pixels.
    const std::uint64_t rawPixels = 96 * 64;
    ASSERT_TRUE(pictureCost(asTiff) && pictureCost(plain));
    EXPECT_GE(pictureCost(asTiff)->decodeBytes, rawPixels * 16);
    EXPECT_LT(pictureCost(plain)->decodeBytes, 30u * 20 * 8);
}

// A copy of a DNG's bytes with one LONG tag of one value set to value.
std::string withLongTag(std::string bytes, int tag, std::uint32_t old, std::uint32_t value) {
    auto le = [](std::uint32_t v, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    const std::string entry = le(static_cast<std::uint32_t>(tag), 2) + le(4, 2) + le(1, 4);
    const std::size_t at = bytes.find(entry + le(old, 4));
    if (at == std::string::npos) throw std::logic_error("no such tag");
    bytes.replace(at + entry.size(), 4, le(value, 4));
    return bytes;
}

TEST(RawPictures, DamagedOrOversizedFilesAreRefusedNamingTheFile) {
    TempDir dir;
    const std::string whole = rawsamples::dngBytes({.width = 96, .height = 64});
    constexpr int kStripOffsets = 273;
    constexpr int kImageWidth = 256;
    constexpr std::uint32_t kMosaicAt = 8;
    struct Case {
        std::string name;
        std::string bytes;
        std::string reason;
    };
    const auto size = static_cast<std::uint32_t>(whole.size());
    for (const Case& c : {
             Case{"late.dng", withLongTag(whole, kStripOffsets, kMosaicAt, size - 2000),
                  "unexpected end of file"},
             Case{"wide.nef", withLongTag(whole, kImageWidth, 96, 60000), "unexpected end of file"},
             Case{"cut.dng", whole.substr(0, whole.size() / 2), ""},
             Case{"empty.nef", "", "不是可识别的图像格式"},
         }) {
        writeBytes(dir.path() / c.name, c.bytes);
        for (const bool thumbnail : {false, true}) {
            try {
                if (thumbnail)
                    CImageBox::Thumbnail(dir.str(c.name), 40, 30);
                else
                    loaded(dir.str(c.name));
                ADD_FAILURE() << c.name << " was decoded";
            } catch (const ImagingError& error) {
                EXPECT_THAT(error.what(), HasSubstr(dir.str(c.name)));
                EXPECT_THAT(error.what(), HasSubstr(c.reason));
            }
        }
    }
    // The header's size is checked before anything is decoded.
    const std::string big = written(dir, "big.dng", {.width = 96, .height = 64});
    CImageBox box;
    box.SetPixelLimit(1000);
    try {
        box.LoadFromFile(big);
        ADD_FAILURE() << "a picture over the limit was decoded";
    } catch (const ImagingError& error) {
        EXPECT_THAT(error.what(), HasSubstr("96 X 64"));
    }
}

// Camera, lens, exposure and capture time travel into an output that
// carries EXIF; the pixels are upright, so is the orientation it states.
TEST(RawPictures, CaptureFactsReachTheOutputsExif) {
    TempDir dir;
    const std::string path = written(dir, "m.dng", {.width = 96, .height = 64, .orientation = 6});
    CImageBox box;
    box.LoadFromFile(path);
    const std::string out = dir.str("m.jpg");
    box.SaveToFile(out);
    const VImage saved = VImage::new_from_file(out.c_str());
    auto field = [&](const char* name) {
        return saved.get_typeof(name) ? std::string(saved.get_string(name)) : std::string();
    };
    EXPECT_THAT(field("exif-ifd0-Make"), HasSubstr(rawsamples::kMake));
    EXPECT_THAT(field("exif-ifd0-Model"), HasSubstr(rawsamples::kModel));
    EXPECT_THAT(field("exif-ifd0-Orientation"), HasSubstr("Top-left"));
    EXPECT_THAT(field("exif-ifd2-LensModel"), HasSubstr(rawsamples::kLens));
    EXPECT_THAT(field("exif-ifd2-ExposureTime"), HasSubstr("1/250"));
    EXPECT_THAT(field("exif-ifd2-FNumber"), HasSubstr("f/5.6"));
    EXPECT_THAT(field("exif-ifd2-ISOSpeedRatings"), HasSubstr("200"));
    EXPECT_THAT(field("exif-ifd2-FocalLength"), HasSubstr("35"));
    EXPECT_THAT(field("exif-ifd2-DateTimeOriginal"), HasSubstr(rawsamples::kCaptureTime));

    // TIFF, what a scheme keeping the source's format writes for it.
    const std::string tiff = dir.str("m.tif");
    box.SaveToFile(tiff);
    const std::string tags = commandOutput(
        "exiftool -s -s -Make -Model -LensModel -ExposureTime -FNumber -ISO '" + tiff + "'");
    for (const std::string& expected :
         {std::string("Make: ") + rawsamples::kMake, std::string("Model: ") + rawsamples::kModel,
          std::string("LensModel: ") + rawsamples::kLens, std::string("ExposureTime: 1/250"),
          std::string("FNumber: 5.6"), std::string("ISO: 200")})
        EXPECT_THAT(tags, HasSubstr(expected));
}

}  // namespace
}  // namespace varnetto::testing
