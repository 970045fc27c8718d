#include "ImagingFixtures.h"
#include "imaging/DisplayPixels.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto::testing {
namespace {

// A horizontal grey ramp 0..255, as RGB.
VImage grayRamp(int width, int height) {
    const VImage x =
        (VImage::xyz(width, height)[0] * (255.0 / (width - 1))).cast(VIPS_FORMAT_UCHAR);
    return VImage::bandjoin({x, x, x}).copy(
        VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

bool onlyValues(const VImage& image, std::initializer_list<int> values) {
    VImage any = VImage::black(image.width(), image.height());
    for (int v : values) any = any | (image == v);
    return any.min() == 255;
}

TEST(ColorTypes, EachTypeReducesTheContentAsNamed) {
    const VImage field = colorField(64, 48);
    ASSERT_GT(distinctColors(field), 1000u);
    CImageBox box;
    auto converted = [&](ColorType type) {
        box.PutBitmap(field);
        EXPECT_EQ(box.GetColorType(), ColorType::TrueColor24);
        box.PutColorType(type);
        EXPECT_EQ(box.GetColorType(), type);
        return box.GetBitmap();
    };

    EXPECT_EQ(meanDifference(converted(ColorType::TrueColor24), field), 0.0);

    const VImage palette256 = converted(ColorType::Palette256);
    EXPECT_EQ(palette256.bands(), 3);
    EXPECT_LE(distinctColors(palette256), 256u);
    EXPECT_GT(distinctColors(palette256), 16u);
    EXPECT_LT(meanDifference(palette256, field), 6.0);

    const VImage palette16 = converted(ColorType::Palette16);
    EXPECT_LE(distinctColors(palette16), 16u);
    EXPECT_GT(distinctColors(palette16), 4u);

    const VImage gray256 = converted(ColorType::Gray256);
    EXPECT_EQ(gray256.bands(), 1);
    EXPECT_GT(distinctColors(gray256), 100u);

    const VImage gray16 = converted(ColorType::Gray16);
    EXPECT_EQ(gray16.bands(), 1);
    EXPECT_LE(distinctColors(gray16), 16u);
    EXPECT_EQ(((gray16 % 17) == 0).min(), 255) << "levels are 0, 17, 34 ... 255";

    const VImage noColor = converted(ColorType::NoColor);
    EXPECT_EQ(noColor.bands(), 3);
    EXPECT_TRUE(isGrayContent(noColor));
    EXPECT_GT(distinctColors(noColor), 100u);
}

TEST(ColorTypes, MonochromeThresholdsAndBlackWhiteDithers) {
    CImageBox box;
    box.PutBitmap(grayRamp(256, 8));
    box.PutColorType(ColorType::Mono8);
    const VImage mono = box.GetBitmap();
    EXPECT_EQ(mono.bands(), 1);
    EXPECT_TRUE(onlyValues(mono, {0, 255}));
    // No dithering: dark half black, light half white, without noise.
    EXPECT_EQ(mono.crop(0, 0, 120, 8).max(), 0);
    EXPECT_EQ(mono.crop(136, 0, 120, 8).min(), 255);

    box.PutBitmap(solid(64, 64, {128, 128, 128}));
    box.PutColorType(ColorType::BlackWhite);
    const VImage bw = box.GetBitmap();
    EXPECT_EQ(bw.bands(), 1);
    EXPECT_TRUE(onlyValues(bw, {0, 255}));
    // Mid grey dithers into a mixture of both.
    EXPECT_GT(bw.avg(), 70);
    EXPECT_LT(bw.avg(), 190);
}

// The pipeline converts, then puts back the starting type: the reduction
// must survive, only the storage widens.
TEST(ColorTypes, ConvertingBackKeepsTheReducedContent) {
    const VImage field = colorField(48, 32);
    for (int code = static_cast<int>(ColorType::Palette256);
         code <= static_cast<int>(ColorType::NoColor); ++code) {
        SCOPED_TRACE(code);
        const auto type = static_cast<ColorType>(code);
        CImageBox box;
        box.PutBitmap(field);
        const ColorType start = box.GetColorType();
        box.PutColorType(type);
        const VImage reduced = box.GetBitmap();
        const std::size_t colors = distinctColors(reduced);
        box.Clear();
        box.PutBitmap(reduced);
        EXPECT_EQ(box.GetColorType(), type) << "the type travels with the bitmap";
        box.PutColorType(start);
        EXPECT_EQ(box.GetColorType(), ColorType::TrueColor24);
        const VImage back = box.GetBitmap();
        EXPECT_EQ(back.bands(), 3);
        EXPECT_EQ(distinctColors(back), colors);
        if (reduced.bands() == 1)
            EXPECT_EQ(meanDifference(back[0], reduced), 0.0);
        else
            EXPECT_EQ(meanDifference(back, reduced), 0.0);
    }

    // Starting from grey: black and white, then back to 256 grey levels.
    CImageBox box;
    box.PutBitmap(grayRamp(64, 8));
    box.PutColorType(ColorType::Gray256);
    box.PutColorType(ColorType::BlackWhite);
    box.PutColorType(ColorType::Gray256);
    EXPECT_EQ(box.GetColorType(), ColorType::Gray256);
    EXPECT_TRUE(onlyValues(box.GetBitmap(), {0, 255}));
    // 16 colours widened to 256 keep their 16.
    box.PutBitmap(colorField(48, 32));
    box.PutColorType(ColorType::Palette16);
    const std::size_t sixteen = distinctColors(box.GetBitmap());
    box.PutColorType(ColorType::Palette256);
    EXPECT_EQ(distinctColors(box.GetBitmap()), sixteen);
    // A code outside the table changes nothing.
    box.PutColorType(static_cast<ColorType>(42));
    EXPECT_EQ(box.GetColorType(), ColorType::Palette256);
}

TEST(ColorTypes, ReducedTypesAreWrittenAndReadBackAsSuch) {
    TempDir dir;
    struct Case {
        ColorType type;
        const char* file;
        std::size_t maxColors;
    };
    const std::vector<Case> cases = {
        {ColorType::Palette256, "p256.bmp", 256}, {ColorType::Palette16, "p16.bmp", 16},
        {ColorType::BlackWhite, "bw.bmp", 2},     {ColorType::Palette16, "p16.png", 16},
        {ColorType::Gray16, "g16.png", 16},       {ColorType::BlackWhite, "bw.png", 2},
        {ColorType::Palette16, "p16.gif", 16},    {ColorType::Palette256, "p256.pcx", 256},
        {ColorType::Gray16, "g16.tif", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CImageBox box;
        box.PutBitmap(colorField(48, 32));
        box.PutColorType(c.type);
        box.SaveToFile(dir.str(c.file));
        CImageBox reader;
        reader.LoadFromFile(dir.str(c.file));
        EXPECT_EQ(reader.GetColorType(), c.type);
        EXPECT_LE(distinctColors(reader.GetBitmap()), c.maxColors);
        EXPECT_GE(distinctColors(reader.GetBitmap()), 2u);
    }
    // 8-bit and 1-bit BMPs are far smaller than 24-bit ones.
    CImageBox box;
    box.PutBitmap(colorField(48, 32));
    box.SaveToFile(dir.str("true.bmp"));
    EXPECT_LT(readBytes(dir.path() / "bw.bmp").size() * 10,
              readBytes(dir.path() / "true.bmp").size());
    EXPECT_LT(readBytes(dir.path() / "p256.bmp").size(), readBytes(dir.path() / "true.bmp").size());
}

TEST(ColorTypes, LoadingReportsTheTypeOfTheFile) {
    TempDir dir;
    const VImage field = colorField(32, 32);
    field.pngsave(dir.str("p8.png").c_str(), VImage::option()->set("palette", true));
    field.pngsave(dir.str("p4.png").c_str(),
                  VImage::option()->set("palette", true)->set("bitdepth", 4));
    const VImage gray = field.colourspace(VIPS_INTERPRETATION_B_W);
    gray.pngsave(dir.str("g8.png").c_str());
    gray.pngsave(dir.str("g1.png").c_str(), VImage::option()->set("bitdepth", 1));
    gray.jpegsave(dir.str("g.jpg").c_str());
    field.jpegsave(dir.str("c.jpg").c_str());
    const VImage fourColors =
        redBlue(32, 16).join(solid(32, 16, {0, 255, 0}), VIPS_DIRECTION_VERTICAL);
    writeMagick(fourColors, "BMP3", dir.str("p4.bmp"), Magick::PaletteType);
    writeMagick(redBlue(32, 32), "BMP3", dir.str("redblue1.bmp"), Magick::PaletteType);
    writeMagick(gray, "BMP3", dir.str("bw1.bmp"), Magick::BilevelType);

    const std::vector<std::pair<std::string, ColorType>> expected = {
        {"p8.png", ColorType::Palette256}, {"p4.png", ColorType::Palette16},
        {"g8.png", ColorType::Gray256},    {"g1.png", ColorType::BlackWhite},
        {"g.jpg", ColorType::Gray256},     {"c.jpg", ColorType::TrueColor24},
        {"p4.bmp", ColorType::Palette16},  {"redblue1.bmp", ColorType::Palette16},
        {"bw1.bmp", ColorType::BlackWhite}};
    for (const auto& [file, type] : expected) {
        SCOPED_TRACE(file);
        CImageBox box;
        box.LoadFromFile(dir.str(file));
        EXPECT_EQ(box.GetColorType(), type);
    }
}

// A picture in another colour space is shown, thumbnailed and reduced in
// sRGB: its numbers taken as sRGB would show other colours.
TEST(ColorTypes, ScreenThumbnailsAndReductionsAreInSrgb) {
    TempDir dir;
    const VImage field = colorField(64, 48);
    const VImage wide = field.icc_transform("p3");
    const VImage expected = wide.icc_transform("srgb", VImage::option()
                                                           ->set("embedded", true)
                                                           ->set("intent", VIPS_INTENT_RELATIVE)
                                                           ->set("black_point_compensation", true));
    ASSERT_GT(meanDifference(wide, expected), 2.0) << "the spaces would not differ";

    const DisplayPixels shown = toDisplayPixels(wide);
    const VImage screen =
        VImage::new_from_memory(shown.data.get(), shown.stride * shown.height, shown.width,
                                shown.height, shown.bands, VIPS_FORMAT_UCHAR);
    EXPECT_LT(meanDifference(screen, expected), 0.5);

    const std::string file = dir.str("wide.jpg");
    wide.jpegsave(file.c_str(), VImage::option()->set("Q", 100));
    EXPECT_LT(meanDifference(CImageBox::Thumbnail(file, 64, 48), expected), 1.5);

    CImageBox box;
    box.PutBitmap(wide);
    box.PutColorType(ColorType::Gray256);
    const VImage grey = box.GetBitmap();
    EXPECT_LT(meanDifference(grey, expected.colourspace(VIPS_INTERPRETATION_B_W)), 1.0);
}

}  // namespace
}  // namespace varnetto::testing
