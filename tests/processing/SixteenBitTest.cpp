#include "PixelSupport.h"
#include "common/ImageFormats.h"
#include "imaging/PictureCost.h"
#include "processing/SchemePipeline.h"
#include "support/TestSupport.h"
#include "tests/rawsamples/DngSamples.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// 16-bit pictures through the scheme's steps: written with 16 bits where the
// format holds them, judged against libvips' own operations on the source.

namespace varnetto {
namespace {

using testing::RecordingReporter;
using testing::TempDir;
namespace fs = std::filesystem;

constexpr int kResizedWidth = 600;
constexpr int kFrame = 6;  // the border pieces' thickness
constexpr int kFullScale = 65535;
// 16-bit levels: a quarter of one 8-bit level.
constexpr double kDeepTolerance = 64;

// Across the width, far more levels than 8 bits have.
Bitmap deepGradient(bool grey) {
    const Bitmap xy = Bitmap::xyz(1200, 200);
    const Bitmap across = xy.extract_band(0) * (double(kFullScale) / 1199);
    const Bitmap down = xy.extract_band(1) * (double(kFullScale) / 199);
    const Bitmap pixels =
        grey ? across : Bitmap::bandjoin({across, down, across * -1 + kFullScale});
    return pixels.cast(VIPS_FORMAT_USHORT)
        .copy(Bitmap::option()->set("interpretation",
                                    grey ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_RGB16));
}

// The steps' clear middle: away from caption, stamp and border.
Bitmap smoothArea(const Bitmap& image, int offset) {
    const int width = image.width() - 2 * offset;
    const int height = image.height() - 2 * offset;
    return image.crop(offset + width / 4, offset + height / 3, width / 2, height / 3);
}

std::vector<int> pixelAt(const Bitmap& image, int x, int y) {
    std::vector<int> values;
    for (const double v : image.getpoint(x, y)) values.push_back(static_cast<int>(v));
    return values;
}

int levelsOf(const Bitmap& band) {
    const Bitmap histogram = band.hist_find();
    return static_cast<int>((histogram > 0).avg() / 255.0 * histogram.width() + 0.5);
}

// The largest and the mean difference of every band of out from ref (a grey
// ref stands for each band of a colour out).
std::pair<double, double> difference(const Bitmap& out, const Bitmap& ref) {
    Bitmap wide = ref;
    while (wide.bands() < out.bands()) wide = wide.bandjoin(ref.extract_band(0));
    const Bitmap delta = (out.cast(VIPS_FORMAT_INT) - wide.cast(VIPS_FORMAT_INT)).abs();
    return {delta.max(), delta.avg()};
}

Bitmap toEightLevels(const Bitmap& image) {
    if (image.format() != VIPS_FORMAT_USHORT) return image;
    return image.colourspace(image.bands() <= 2 ? VIPS_INTERPRETATION_B_W
                                                : VIPS_INTERPRETATION_sRGB);
}

enum class Steps { Plain, Decorated };

class SixteenBitSteps : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "Borders");
        fs::create_directories(dir.path() / "Stamps");
        for (int i = 1; i <= 8; ++i)
            testing::writeBmp(testing::solid(kFrame, kFrame, {90, 60, 30}),
                              dir.str("Borders/frame_" + std::to_string(i) + ".bmp"));
        testing::writeBmp(testing::solid(10, 10, {200, 0, 0}), dir.str("Stamps/seal.bmp"));
    }

    Scheme schemeFor(Steps steps, OutputFormat format) {
        Scheme s;
        s.outputFolder = dir.str("out" + std::to_string(++folders));
        s.convertEnabled = s.formatConvertEnabled = 1;
        s.outputFormat = stored(format);
        if (steps == Steps::Decorated) {
            s.resizeEnabled = 1;
            s.resizeMode = stored(ResizeMode::Width);
            s.resizeValue = kResizedWidth;
            s.resizeIncludesBorder = 0;
            s.borderEnabled = s.stampEnabled = s.textEnabled = 1;
            s.borderName = "frame";
            s.stampName = "seal";
            s.stampFile = "seal.bmp";
            s.textContent = "Ab";
            s.textPosX = s.textPosY = 0.02f;
            s.stampPosX = 0.9f;
            s.stampPosY = 0.8f;
        }
        return s;
    }

    Bitmap run(const std::string& source, const Scheme& scheme) {
        fs::create_directories(scheme.outputFolder);
        CImageBox control;
        const ProcessResult r = processFile(control, source, 1, scheme, true, dir.str(), reporter);
        EXPECT_TRUE(r.ok()) << r.error;
        return Bitmap::new_from_file(r.outputPath.c_str()).copy_memory();
    }

    TempDir dir;
    RecordingReporter reporter;
    int folders = 0;
};

TEST_F(SixteenBitSteps, KeepTheirRangeToPngAndTiffAndBecomeEightBitsInJpeg) {
    struct Source {
        std::string name;
        Bitmap decoded;  // what libvips (LibRaw for the DNG) makes of the file
        bool smooth;     // a gradient, whose levels can be counted
    };
    std::vector<Source> sources;
    for (const bool grey : {false, true}) {
        const std::string path = dir.str(grey ? "grey16.png" : "rgb16.png");
        deepGradient(grey).pngsave(path.c_str());
        sources.push_back({path, Bitmap::new_from_file(path.c_str()), true});
    }
    const std::string dng = dir.str("scene.dng");
    rawsamples::writeDng({.width = 800, .height = 600}, dng);
    CImageBox raw;
    raw.LoadFromFile(dng);
    sources.push_back({dng, raw.GetBitmap(), false});

    for (const Source& source : sources) {
        for (const Steps steps : {Steps::Plain, Steps::Decorated}) {
            const double scale =
                steps == Steps::Plain ? 1.0 : double(kResizedWidth) / source.decoded.width();
            const Bitmap reference =
                scale == 1.0 ? source.decoded
                             : source.decoded.resize(
                                   scale, Bitmap::option()->set("kernel", VIPS_KERNEL_LINEAR));
            const int offset = steps == Steps::Decorated ? kFrame : 0;
            for (const OutputFormat format :
                 {OutputFormat::Png, OutputFormat::Tiff, OutputFormat::Jpeg}) {
                SCOPED_TRACE(source.name + (steps == Steps::Plain ? " plain" : " decorated") +
                             " → format " + std::to_string(stored(format)));
                const Bitmap out = run(source.name, schemeFor(steps, format));
                ASSERT_EQ(out.width(), reference.width() + 2 * offset);
                ASSERT_EQ(out.height(), reference.height() + 2 * offset);
                const Bitmap area = smoothArea(out, offset);
                if (format == OutputFormat::Jpeg) {
                    EXPECT_EQ(out.format(), VIPS_FORMAT_UCHAR);
                    const auto [most, mean] = difference(
                        area, smoothArea(reference, 0)
                                  .colourspace(reference.bands() == 1 ? VIPS_INTERPRETATION_B_W
                                                                      : VIPS_INTERPRETATION_sRGB));
                    EXPECT_LT(mean, 1.5);
                    // The scene's sharp colour edges ring in JPEG.
                    if (source.smooth) {
                        EXPECT_LE(most, 8);
                    }
                    continue;
                }
                ASSERT_EQ(out.format(), VIPS_FORMAT_USHORT);
                const auto [most, mean] = difference(area, smoothArea(reference, 0));
                EXPECT_LE(most, kDeepTolerance);
                if (source.smooth) {
                    EXPECT_GT(levelsOf(area.extract_band(0)), 256);
                }
                if (steps == Steps::Decorated) {
                    // The 8-bit border and stamp, widened to the picture's range.
                    EXPECT_EQ(pixelAt(out, 0, 0), (std::vector<int>{23130, 15420, 7710}));
                    const int stampX = offset + static_cast<int>(0.9f * reference.width()) + 5;
                    const int stampY = offset + static_cast<int>(0.8f * reference.height()) + 5;
                    EXPECT_EQ(pixelAt(out, stampX, stampY), (std::vector<int>{200 * 257, 0, 0}));
                }
            }
        }
    }
}

// Every enhancement, and a reduction to a palette, gives a 16-bit picture
// what it gives the same picture in 8 bits: constants stated in 8-bit levels
// (brightness, mid grey, white corners, red-eye thresholds) are scaled.
TEST_F(SixteenBitSteps, EnhancementsMatchTheirEightBitResults) {
    // A red eye: a small disc of strong red on the gradient, in a ring of
    // dark red too dark to count as an eye's.
    const Bitmap xy = Bitmap::xyz(1200, 200);
    const Bitmap offset = (xy - std::vector<double>{300, 100}).pow(2);
    const Bitmap distance = offset.extract_band(0) + offset.extract_band(1);
    const Bitmap ring =
        (distance < 256).ifthenelse(std::vector<double>{60 * 257, 1285, 1285}, deepGradient(false));
    const Bitmap deep =
        (distance < 100)
            .ifthenelse(std::vector<double>{60000, 6000, 6000}, ring)
            .cast(VIPS_FORMAT_USHORT)
            .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    const std::string deepPath = dir.str("deep.png");
    const std::string shallowPath = dir.str("shallow.png");
    deep.pngsave(deepPath.c_str());
    deep.colourspace(VIPS_INTERPRETATION_sRGB).pngsave(shallowPath.c_str());

    struct Case {
        const char* name;
        void (*set)(Scheme&);
        bool deepOutput;
    };
    const Case cases[] = {
        {"brightness and contrast",
         [](Scheme& s) {
             s.brightnessEnabled = s.contrastEnabled = 1;
             s.brightnessValue = 70;
             s.contrastValue = 65;
             s.contrastBlue = 0;
         },
         true},
        {"sharpen and despeckle",
         [](Scheme& s) {
             s.sharpenEnabled = s.despeckleEnabled = 1;
             s.sharpenValue = 3;
         },
         true},
        {"red eye", [](Scheme& s) { s.redEyeEnabled = 1; }, true},
        {"a turn",
         [](Scheme& s) {
             s.rotateEnabled = 1;
             s.rotateAngle = 30;
         },
         true},
        {"256 colours",
         [](Scheme& s) {
             s.colorConvertEnabled = 1;
             s.colorType = stored(ColorType::Palette256);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scheme s = schemeFor(Steps::Plain, OutputFormat::Png);
        s.enhanceEnabled = 1;
        c.set(s);
        const Bitmap fromDeep = run(deepPath, s);
        s.outputFolder = dir.str("out" + std::to_string(++folders));
        const Bitmap fromShallow = run(shallowPath, s);
        ASSERT_EQ(fromDeep.format(), c.deepOutput ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
        ASSERT_EQ(fromDeep.width(), fromShallow.width());
        ASSERT_EQ(fromDeep.height(), fromShallow.height());
        const auto [most, mean] = difference(toEightLevels(fromDeep), fromShallow);
        EXPECT_LT(mean, 0.5);
        // The palette is chosen from the same 8-bit colours.
        EXPECT_LE(most, c.deepOutput ? 2 : 0);
        if (s.redEyeEnabled) {
            EXPECT_LT(pixelAt(fromShallow, 300, 100)[0], 100);
            EXPECT_LT(pixelAt(fromDeep, 300, 100)[0], 100 * 257);
        }
    }
}

// The memory budget counts the two bytes of every sample.
TEST_F(SixteenBitSteps, CostTwiceTheBytesOfEightBits) {
    const std::string deep = dir.str("deep.png");
    const std::string shallow = dir.str("shallow.png");
    const Bitmap picture = deepGradient(false);
    picture.pngsave(deep.c_str());
    picture.colourspace(VIPS_INTERPRETATION_sRGB).pngsave(shallow.c_str());
    const auto deepCost = pictureCost(deep);
    const auto shallowCost = pictureCost(shallow);
    ASSERT_TRUE(deepCost && shallowCost);
    EXPECT_EQ(deepCost->decodeBytes, 2 * shallowCost->decodeBytes);
}

}  // namespace
}  // namespace varnetto
