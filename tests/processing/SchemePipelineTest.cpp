#include "PixelSupport.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto {
namespace {

using testing::RecordingReporter;
using testing::regionIs;
using testing::samePixels;
using testing::TempDir;

// An asymmetric picture: its four quadrants differ, so rotations and flips
// can be told apart.
Bitmap quadrants(int width, int height) {
    using testing::solid;
    const int w = width / 2, h = height / 2;
    const Bitmap top = solid(w, h, {250, 20, 20})
                           .join(solid(width - w, h, {20, 250, 20}), VIPS_DIRECTION_HORIZONTAL);
    const Bitmap bottom =
        solid(w, height - h, {20, 20, 250})
            .join(solid(width - w, height - h, {240, 240, 40}), VIPS_DIRECTION_HORIZONTAL);
    return top.join(bottom, VIPS_DIRECTION_VERTICAL);
}

class Pipeline : public ::testing::Test {
  protected:
    Bitmap apply(const Bitmap& source, const Scheme& scheme) {
        Bitmap out = applyScheme(control, source, scheme, dir.str(), reporter);
        EXPECT_FALSE(control.HasImage());
        return out;
    }
    std::pair<int, int> sizeAfter(int width, int height, const Scheme& scheme) {
        const Bitmap out = apply(testing::solid(width, height, {100, 100, 100}), scheme);
        return {out.width(), out.height()};
    }
    // Outer border set "frame" in the application folder: left and right 10 wide.
    void writeFrameSet() {
        std::filesystem::create_directories(dir.path() / "Borders");
        const std::pair<int, int> sizes[8] = {{20, 5}, {10, 20}, {20, 5}, {10, 20},
                                              {8, 8},  {8, 8},   {8, 8},  {8, 8}};
        for (int i = 0; i < 8; ++i)
            testing::writeBmp(testing::solid(sizes[i].first, sizes[i].second, {0, 0, 0}),
                              dir.str("Borders/frame_" + std::to_string(i + 1) + ".bmp"));
    }

    TempDir dir;
    CImageBox control;
    RecordingReporter reporter;
};

Scheme resizing(ResizeMode mode, int value) {
    Scheme s;
    s.resizeEnabled = 1;
    s.resizeMode = stored(mode);
    s.resizeValue = value;
    return s;
}

TEST_F(Pipeline, EverySwitchOffReturnsTheSource) {
    const Bitmap source = quadrants(64, 48);
    EXPECT_TRUE(samePixels(apply(source, Scheme{}), source));
    EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(Pipeline, ResizeArithmetic) {
    EXPECT_EQ(sizeAfter(1000, 500, resizing(ResizeMode::Width, 400)), std::make_pair(400, 200));
    EXPECT_EQ(sizeAfter(1000, 500, resizing(ResizeMode::Height, 300)), std::make_pair(600, 300));
    EXPECT_EQ(sizeAfter(1000, 700, resizing(ResizeMode::Width, 333)), std::make_pair(333, 233));
    EXPECT_EQ(sizeAfter(1000, 500, resizing(ResizeMode::Percent, 50)), std::make_pair(500, 250));
    EXPECT_EQ(sizeAfter(1000, 500, resizing(ResizeMode::FileSize, 17)), std::make_pair(1000, 500));
    EXPECT_EQ(sizeAfter(1000, 500, resizing(static_cast<ResizeMode>(9), 17)),
              std::make_pair(1000, 500));
    Scheme fixed = resizing(ResizeMode::Fixed, 0);
    fixed.fixedWidth = 320;
    fixed.fixedHeight = 77;
    EXPECT_EQ(sizeAfter(1000, 500, fixed), std::make_pair(320, 77));
}

TEST_F(Pipeline, SizesBelowOnePixelBecomeOne) {
    EXPECT_EQ(sizeAfter(1000, 500, resizing(ResizeMode::Width, 1)), std::make_pair(1, 1));
    EXPECT_EQ(sizeAfter(100, 50, resizing(ResizeMode::Percent, 0)), std::make_pair(1, 1));
    EXPECT_EQ(sizeAfter(100, 50, resizing(ResizeMode::Height, -20)), std::make_pair(1, 1));
    Scheme fixed = resizing(ResizeMode::Fixed, 0);
    fixed.fixedWidth = 0;
    fixed.fixedHeight = -3;
    EXPECT_EQ(sizeAfter(100, 50, fixed), std::make_pair(1, 1));
}

TEST_F(Pipeline, ResultAboveThePixelLimitIsRefused) {
    control.SetPixelLimit(1'000'000);
    EXPECT_THROW(sizeAfter(100, 100, resizing(ResizeMode::Width, 2000)), ImagingError);
    EXPECT_THROW(sizeAfter(100, 100, resizing(ResizeMode::Percent, 100000)), ImagingError);
    EXPECT_EQ(sizeAfter(100, 100, resizing(ResizeMode::Width, 1000)), std::make_pair(1000, 1000));
}

TEST_F(Pipeline, ResizeIncludingTheBorderComesLast) {
    writeFrameSet();
    Scheme s = resizing(ResizeMode::Width, 400);
    s.borderEnabled = 1;
    s.borderName = "frame";
    EXPECT_EQ(sizeAfter(1000, 500, s).first, 400);
    s.resizeIncludesBorder = 0;
    EXPECT_EQ(sizeAfter(1000, 500, s), std::make_pair(420, 210));
    // Without resizing the border is simply added.
    s.resizeEnabled = 0;
    EXPECT_EQ(sizeAfter(1000, 500, s), std::make_pair(1020, 510));
}

// Every picture is written with its own scheme's encoder and resampler
// settings, with or without a resize step, never with what the control had
// from the picture or scheme before.
TEST_F(Pipeline, EncoderSettingsComeFromTheSchemeWithOrWithoutResize) {
    control.SetJpegQuality(33);
    control.SetTiffCompression(TiffCompression::Group4);
    control.SetResampleFilter(ResampleFilter::Lanczos);
    Scheme s;
    s.jpegQuality = 90;
    s.tiffCompression = stored(TiffCompression::PackBits);
    apply(quadrants(20, 20), s);
    EXPECT_EQ(control.JpegQuality(), 90);
    EXPECT_EQ(control.TiffCompression(), TiffCompression::PackBits);
    EXPECT_EQ(control.ResampleFilter(), ResampleFilter::Bilinear);

    s = resizing(ResizeMode::FileSize, 0);
    s.jpegQuality = 85;
    s.tiffCompression = stored(TiffCompression::PackBits);
    s.resampleEnabled = 0;
    s.resampleFilter = stored(ResampleFilter::Bell);
    apply(quadrants(20, 20), s);
    EXPECT_EQ(control.JpegQuality(), 85);
    EXPECT_EQ(control.TiffCompression(), TiffCompression::PackBits);
    EXPECT_FALSE(control.ResampleOnResize());
    EXPECT_EQ(control.ResampleFilter(), ResampleFilter::Bell);

    // Out of range qualities are clamped; the low 16 bits count first.
    for (auto [stored, sent] : {std::pair{0, 1}, {300, 100}, {-5, 100}, {65536 + 70, 70}}) {
        s.jpegQuality = stored;
        apply(quadrants(20, 20), s);
        EXPECT_EQ(control.JpegQuality(), sent) << stored;
    }
}

TEST_F(Pipeline, EnhancementRunsInItsOrder) {
    Scheme s;
    s.enhanceEnabled = 1;
    s.brightnessEnabled = 1;
    s.brightnessValue = 70;
    s.brightnessGreen = 0;
    s.contrastEnabled = 1;
    s.contrastValue = 80;
    s.sharpenEnabled = 1;
    s.sharpenValue = 3;
    s.rotateEnabled = 1;
    s.rotateAngle = 90;
    s.flipEnabled = 1;
    s.flipDirection = stored(FlipDirection::Horizontal);
    const Bitmap source = quadrants(60, 40);

    CImageBox manual;
    manual.PutBitmap(source);
    manual.AdjustBrightness(70, true, false, true);
    manual.AdjustContrast(80, true, true, true);
    manual.Sharpen(3);
    manual.Rotate(90);
    manual.Flip(FlipDirection::Horizontal);
    const Bitmap expected = manual.GetBitmap();

    manual.Clear();
    manual.PutBitmap(source);
    manual.AdjustBrightness(70, true, false, true);
    manual.AdjustContrast(80, true, true, true);
    manual.Sharpen(3);
    manual.Flip(FlipDirection::Horizontal);
    manual.Rotate(90);
    ASSERT_FALSE(samePixels(expected, manual.GetBitmap())) << "the order would not show";

    EXPECT_TRUE(samePixels(apply(source, s), expected));
    s.enhanceEnabled = 0;
    EXPECT_TRUE(samePixels(apply(source, s), source));
}

TEST_F(Pipeline, MissingStampIsReportedOnceAndProcessingGoesOn) {
    Scheme s = resizing(ResizeMode::Width, 30);
    s.stampEnabled = 1;
    s.stampFile = "gone.bmp";
    const Bitmap out = apply(quadrants(60, 40), s);
    EXPECT_EQ(out.width(), 30);
    const std::string expected = "印章图像 " + dir.str("Stamps/gone.bmp") + " 不存在。";
    ASSERT_EQ(reporter.texts(), std::vector<std::string>{expected});
    EXPECT_EQ(reporter.entries[0].kind, MessageKind::Stop);

    // A folder is not a stamp.
    reporter.entries.clear();
    std::filesystem::create_directories(dir.path() / "Stamps");
    s.stampFile.clear();
    apply(quadrants(60, 40), s);
    EXPECT_EQ(reporter.entries.size(), 1u);
}

TEST_F(Pipeline, StampAndCaptionFollowTheResizedImage) {
    std::filesystem::create_directories(dir.path() / "Stamps");
    Bitmap stamp = testing::solid(6, 6, {0, 0, 255});
    testing::writeBmp(stamp, dir.str("Stamps/blue.bmp"));
    Scheme s = resizing(ResizeMode::Width, 100);
    s.resizeIncludesBorder = 0;
    s.stampEnabled = 1;
    s.stampFile = "blue.bmp";
    s.stampPosX = 0.5f;
    s.stampPosY = 0.25f;
    const Bitmap out = apply(testing::solid(400, 200, {255, 255, 255}), s);
    ASSERT_EQ(out.width(), 100);
    // Positions come from the size after the resize: (50, 12).
    EXPECT_TRUE(regionIs(out, 50, 12, 6, 6, {0, 0, 255}));
    EXPECT_TRUE(regionIs(out, 0, 0, 50, 12, {255, 255, 255}));
}

TEST_F(Pipeline, CaptionAtTheOriginStartsTopLeft) {
    Scheme s;
    s.textEnabled = 1;
    s.textContent = "HH";
    s.fontFace = "Liberation Sans";
    s.fontSize = 200;  // 24 points
    s.textColor = 0x000000;
    const Bitmap out = apply(testing::solid(200, 100, {255, 255, 255}), s);
    const Bitmap grey = out.extract_band(0);
    EXPECT_LT(grey.crop(0, 0, 60, 50).min(), 100) << "no ink near the origin";
    EXPECT_TRUE(regionIs(out, 100, 50, 100, 50, {255, 255, 255}));
}

class ProcessFile : public Pipeline {};

TEST_F(ProcessFile, SavesUnderTheOutputName) {
    std::filesystem::create_directories(dir.path() / "out");
    const std::string source = dir.str("Pic.PNG");
    quadrants(64, 48).write_to_file(source.c_str());
    Scheme s;
    s.outputFolder = dir.str("out");
    const ProcessResult r = processFile(control, source, 1, s, true, dir.str(), reporter);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.outputPath, dir.str("out/Pic.png"));
    EXPECT_FALSE(control.HasImage());
    EXPECT_TRUE(samePixels(Bitmap::new_from_file(r.outputPath.c_str()), quadrants(64, 48)));
    EXPECT_TRUE(samePixels(r.image, quadrants(64, 48)));
}

TEST_F(ProcessFile, MayReplaceItsOwnSource) {
    const std::string source = dir.str("self.png");
    quadrants(64, 48).write_to_file(source.c_str());
    Scheme s = resizing(ResizeMode::Width, 32);
    s.outputFolder = dir.str();
    const ProcessResult r = processFile(control, source, 1, s, true, dir.str(), reporter);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.outputPath, source);
    EXPECT_EQ(Bitmap::new_from_file(source.c_str()).width(), 32);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(ProcessFile, BadSourcesNameTheFileAndWriteNothing) {
    std::filesystem::create_directories(dir.path() / "out");
    Scheme s;
    s.outputFolder = dir.str("out");
    const std::string broken = dir.str("broken.jpg");
    testing::writeBytes(broken, std::string("\xFF\xD8\xFF\xE0 cut", 8));
    ProcessResult r = processFile(control, broken, 1, s, true, dir.str(), reporter);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find(broken), std::string::npos) << r.error;
    EXPECT_FALSE(control.HasImage());

    const std::string absent = dir.str("absent.jpg");
    r = processFile(control, absent, 1, s, true, dir.str(), reporter);
    EXPECT_EQ(r.error, "图像 " + absent + " 不存在。");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out"));
}

TEST_F(ProcessFile, FailedSaveIsAnError) {
    const std::string source = dir.str("a.png");
    quadrants(20, 20).write_to_file(source.c_str());
    Scheme s;
    s.outputFolder = dir.str("no-such-folder");
    const ProcessResult r = processFile(control, source, 1, s, true, dir.str(), reporter);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no-such-folder"));
}

TEST_F(ProcessFile, PrefixLeavingTheFolderIsRefused) {
    std::filesystem::create_directories(dir.path() / "out");
    const std::string source = dir.str("a.png");
    quadrants(20, 20).write_to_file(source.c_str());
    Scheme s;
    s.outputFolder = dir.str("out");
    s.namingMode = stored(NamingMode::Rename);
    s.renamePrefix = "../a";
    const ProcessResult r = processFile(control, source, 1, s, true, dir.str(), reporter);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("../a"), std::string::npos) << r.error;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a_1.png"));
}

}  // namespace
}  // namespace varnetto
