#include "PixelSupport.h"
#include "imaging/FitToBox.h"
#include "processing/SchemePipeline.h"
#include "processing/SchemePreview.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace varnetto {
namespace {

using testing::samePixels;
using testing::solid;
using testing::TempDir;

constexpr int kBoxWidth = 220;
constexpr int kBoxHeight = 165;

// A photograph-like JPEG: gradients under a pattern of squares, so that
// resampling shows.
void writePhoto(const std::string& path, int width, int height, double blue = 0) {
    const Bitmap xy = Bitmap::xyz(width, height);
    const Bitmap x = xy[0];
    const Bitmap y = xy[1];
    const Bitmap squares = ((x / 60).floor() + (y / 60).floor()).remainder_const({2}) * 120;
    Bitmap::bandjoin({x * (255.0 / width), y * (255.0 / height), squares + blue})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .jpegsave(path.c_str(), Bitmap::option()->set("Q", 95));
}

// The imaging reader, counting its decodes by file and noting reductions.
struct CountingReader {
    PictureReader reader() {
        const PictureReader real = imagingReader();
        return {[this, real](const std::string& path, int reduction) {
                    ++decodes[path];
                    reductions[path].push_back(reduction);
                    return real.decode(path, reduction);
                },
                real.probe};
    }
    std::map<std::string, int> decodes;
    std::map<std::string, std::vector<int>> reductions;
};

// What the preview must look like: the scheme applied to the whole picture,
// then fitted into the box.
Bitmap wholeThenFitted(const std::string& path, const std::optional<Scheme>& scheme,
                       const AppFolders& appFolder) {
    CImageBox control;
    control.LoadFromFile(path);
    Bitmap result = control.GetBitmap();
    SilentReporter silent;
    if (scheme) result = applyScheme(control, result, *scheme, appFolder, silent);
    CImageBox fitting;
    return FitToBox(fitting, result, kBoxWidth, kBoxHeight);
}

double meanDifference(const Bitmap& a, const Bitmap& b) {
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().avg();
}

PreviewRequest boxed(const std::string& path, std::optional<Scheme> scheme) {
    PreviewRequest request;
    request.sourcePath = path;
    request.scheme = std::move(scheme);
    request.boxWidth = kBoxWidth;
    request.boxHeight = kBoxHeight;
    return request;
}

class SchemePreviewTest : public ::testing::Test {
  protected:
    SchemePreviewTest() {
        writePhoto(photo, 1200, 900);
        solid(40, 30, {200, 20, 20}).pngsave(stamp.c_str());
    }
    TempDir dir;
    std::string photo = dir.str("photo.jpg");
    std::string stamp = dir.str("stamp.png");
};

// Each scheme's preview looks as its whole result fitted into the box does.
// Steps that depend on the picture's pixel size (decorations drawn on the
// whole picture, sharpening, dithered palettes) run on the whole picture and
// give exactly its pixels; the others run on a reduced decode.
TEST_F(SchemePreviewTest, PreviewsLookAsTheWholeResultFitted) {
    struct Case {
        const char* name;
        std::function<void(Scheme&)> set;  // none: no scheme at all
        bool wholePicture;
    };
    const std::vector<Case> cases{
        {"the picture as it is", nullptr, false},
        {"grey, brighter, turned a quarter",
         [](Scheme& s) {
             s.convertEnabled = s.colorConvertEnabled = 1;
             s.colorType = stored(ColorType::Gray256);
             s.enhanceEnabled = s.brightnessEnabled = s.rotateEnabled = 1;
             s.brightnessValue = 30;
             s.rotateAngle = 90;
         },
         false},
        {"300 pixels wide, Lanczos",
         [](Scheme& s) {
             s.resizeEnabled = 1;
             s.resizeMode = stored(ResizeMode::Width);
             s.resizeValue = 300;
             s.resampleFilter = stored(ResampleFilter::Lanczos);
         },
         false},
        {"ten percent, smaller than the box",
         [](Scheme& s) {
             s.resizeEnabled = 1;
             s.resizeMode = stored(ResizeMode::Percent);
             s.resizeValue = 10;
         },
         false},
        {"600 wide, then a caption and a stamp",
         [this](Scheme& s) {
             s.resizeEnabled = 1;
             s.resizeIncludesBorder = 0;
             s.resizeMode = stored(ResizeMode::Width);
             s.resizeValue = 600;
             s.textEnabled = 1;
             s.textContent = "样张 Proof";
             s.fontSize = 400;
             s.textPosX = s.textPosY = 0.3f;
             s.stampEnabled = 1;
             s.stampKind = stored(DecorationKind::Custom);
             s.stampPath = stamp;
             s.stampPosX = s.stampPosY = 0.6f;
         },
         false},
        {"a caption on the whole picture",
         [](Scheme& s) {
             s.textEnabled = 1;
             s.textContent = "Proof";
             s.fontSize = 800;
         },
         true},
        {"a caption after a resize that keeps the size",
         [](Scheme& s) {
             s.resizeEnabled = 1;
             s.resizeIncludesBorder = 0;
             s.resizeValue = 100;
             s.textEnabled = 1;
             s.textContent = "Proof";
             s.fontSize = 800;
         },
         true},
        {"the stamp drawn before resizing",
         [this](Scheme& s) {
             s.resizeEnabled = s.resizeIncludesBorder = 1;
             s.resizeMode = stored(ResizeMode::Width);
             s.resizeValue = 500;
             s.stampEnabled = 1;
             s.stampKind = stored(DecorationKind::Custom);
             s.stampPath = stamp;
         },
         true},
        {"sharpened",
         [](Scheme& s) {
             s.enhanceEnabled = s.sharpenEnabled = 1;
             s.sharpenValue = 60;
         },
         true},
        {"a dithered palette of 16 colours",
         [](Scheme& s) {
             s.convertEnabled = s.colorConvertEnabled = 1;
             s.colorType = stored(ColorType::Palette16);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<Scheme> scheme;
        if (c.set) {
            scheme.emplace();
            c.set(*scheme);
        }
        CountingReader counting;
        PreviewCache cache(counting.reader());
        const PreviewRender render = renderPreview(cache, boxed(photo, scheme), dir.str());
        ASSERT_EQ(render.failure, "");
        EXPECT_TRUE(render.notes.empty());
        EXPECT_EQ(render.sourceWidth, 1200);
        EXPECT_EQ(render.sourceHeight, 900);
        const Bitmap expected = wholeThenFitted(photo, scheme, dir.str());
        ASSERT_EQ(render.picture.width(), expected.width());
        ASSERT_EQ(render.picture.height(), expected.height());
        const std::vector<int>& reductions = counting.reductions[photo];
        ASSERT_EQ(reductions.size(), 1u);
        if (c.wholePicture) {
            EXPECT_EQ(reductions[0], 1);
            EXPECT_TRUE(samePixels(render.picture, expected));
        } else {
            EXPECT_GT(reductions[0], 1);
            EXPECT_LT(meanDifference(render.picture, expected), 1.0);
        }
    }
}

// A changed setting renders from the decode kept, stamps included; a file
// that changes on disk is decoded again.
TEST_F(SchemePreviewTest, KeptDecodesServeUntilTheFileChanges) {
    CountingReader counting;
    PreviewCache cache(counting.reader());
    Scheme brighter;
    brighter.enhanceEnabled = brighter.brightnessEnabled = 1;
    brighter.brightnessValue = 40;
    Scheme resized;
    resized.resizeEnabled = 1;
    resized.resizeMode = stored(ResizeMode::Width);
    resized.resizeValue = 500;
    Scheme stamped = resized;
    stamped.resizeIncludesBorder = 0;
    stamped.stampEnabled = 1;
    stamped.stampKind = stored(DecorationKind::Custom);
    stamped.stampPath = stamp;
    for (const std::optional<Scheme>& scheme :
         {std::optional<Scheme>(), std::optional(brighter), std::optional(resized),
          std::optional(stamped), std::optional(stamped)}) {
        const PreviewRender render = renderPreview(cache, boxed(photo, scheme), dir.str());
        ASSERT_EQ(render.failure, "");
    }
    EXPECT_EQ(counting.reductions[photo], std::vector<int>{2});
    EXPECT_EQ(counting.decodes[stamp], 1);
    const Bitmap before = renderPreview(cache, boxed(photo, std::nullopt), dir.str()).picture;

    // The same name and size, other pixels, written later.
    writePhoto(photo, 1200, 900, 100);
    std::filesystem::last_write_time(
        photo, std::filesystem::last_write_time(photo) + std::chrono::seconds(2));
    const Bitmap after = renderPreview(cache, boxed(photo, std::nullopt), dir.str()).picture;
    EXPECT_EQ(counting.decodes[photo], 2);
    EXPECT_GT(meanDifference(before, after), 20.0);

    std::filesystem::remove(photo);
    const PreviewRender gone = renderPreview(cache, boxed(photo, std::nullopt), dir.str());
    EXPECT_TRUE(gone.sourceFailed);
    EXPECT_EQ(gone.failure, "图像 " + photo + " 不存在。");
}

}  // namespace
}  // namespace varnetto
