#include "ImagingFixtures.h"
#include "imaging/CImageBox.h"
#include "imaging/DisplayPixels.h"
#include "imaging/ImageDiagnostics.h"
#include "imaging/ImagingRuntime.h"
#include "imaging/PictureProbe.h"
#include "imaging/Thumbnails.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdarg>

#include <string>
#include <utility>

namespace varnetto::testing {
namespace {

TEST(ImagingThreads, OverlappingPoliciesRestoreTheCountWhenTheLastEnds) {
    setImagingThreads(3);
    {
        const ImagingThreadPolicy single(1);
        EXPECT_EQ(imagingThreads(), 3) << "one worker keeps every libvips thread";
        auto first = std::make_unique<ImagingThreadPolicy>(2);
        EXPECT_EQ(imagingThreads(), 1);
        {
            const ImagingThreadPolicy second(4);
            EXPECT_EQ(imagingThreads(), 1);
            first.reset();
            EXPECT_EQ(imagingThreads(), 1) << "the second run still has its workers";
        }
        EXPECT_EQ(imagingThreads(), 3);
    }
    EXPECT_EQ(imagingThreads(), 3);
    setImagingThreads(0);
}

// A decoded picture must not keep the mark of the sequential loader it came
// from: libvips would then run every later step on it (enhancement, resizing)
// one thread at a time, which doubled the time of a batch on a large photo.
TEST(Decoding, PicturesInMemoryCanBeReadInAnyOrder) {
    TempDir dir;
    VImage turned = colorField(64, 48).copy();
    turned.set(VIPS_META_ORIENTATION, 6);
    const std::pair<std::string, VImage> files[] = {
        {"plain.jpg", colorField(64, 48)},
        {"turned.jpg", turned},
        {"plain.png", colorField(64, 48)},
        {"plain.tif", colorField(64, 48)},
    };
    for (const auto& [name, picture] : files) {
        picture.write_to_file(dir.str(name).c_str());
        CImageBox box;
        box.LoadFromFile(dir.str(name));
        const Bitmap decoded = box.GetBitmap();
        EXPECT_EQ(decoded.get_typeof(VIPS_META_SEQUENTIAL), 0u) << name;
        EXPECT_EQ(decoded.width(), name == "turned.jpg" ? 48 : 64) << name;
    }
}

TEST(PictureProbe, ReadsTheUprightSizeOrNothing) {
    TempDir dir;
    VImage turned = redBlue(40, 20).copy();
    turned.set("orientation", 6);
    turned.jpegsave(dir.str("turned.jpg").c_str());
    solid(33, 17, {0, 200, 0}).pngsave(dir.str("plain.png").c_str());
    writeMagick(solid(12, 8, {0}), "WBMP", dir.str("mark.wbmp"), Magick::BilevelType);
    writeBytes(dir.path() / "notes.jpg", "not a picture at all");
    writeBytes(dir.path() / "cut.png", readBytes(dir.path() / "plain.png").substr(0, 12));

    struct Case {
        const char* file;
        std::optional<std::pair<int, int>> size;
    };
    const std::vector<Case> cases = {
        {"turned.jpg", std::pair{20, 40}}, {"plain.png", std::pair{33, 17}},
        {"mark.wbmp", std::nullopt},       {"notes.jpg", std::nullopt},
        {"cut.png", std::nullopt},         {"missing.png", std::nullopt},
    };
    // What the set-up or an earlier test left in the buffer is not the probe's.
    vips_error_clear();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto facts = probePicture(dir.str(c.file));
        ASSERT_EQ(facts.has_value(), c.size.has_value());
        if (facts) {
            EXPECT_EQ(std::pair(facts->width, facts->height), *c.size);
        }
        EXPECT_STREQ(vips_error_buffer(), "") << "errors are cleared where they arise";
    }
}

TEST(Thumbnails, HaveExactlyTheAskedSize) {
    TempDir dir;
    colorField(400, 300).jpegsave(dir.str("photo.jpg").c_str());
    for (const auto& [width, height] : {std::pair{133, 100}, {50, 50}, {160, 120}, {1, 1}}) {
        const VImage thumb = thumbnailOfSize(dir.str("photo.jpg"), width, height);
        EXPECT_EQ(thumb.width(), width);
        EXPECT_EQ(thumb.height(), height);
    }
    EXPECT_THROW(thumbnailOfSize(dir.str("none.jpg"), 10, 10), ImagingError);
    const VImage small = solid(7, 5, {1, 2, 3});
    EXPECT_EQ(scaledExactly(small, 7, 5).get_image(), small.get_image()) << "no work to do";
}

TEST(DisplayPixels, EveryPictureBecomesEightBitRgbOrRgba) {
    const VImage grey = solid(6, 4, {90});
    const VImage greyAlpha = solid(6, 4, {90, 128});
    const VImage deep =
        (solid(6, 4, {10, 20, 30}).cast(VIPS_FORMAT_USHORT) * 257)
            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    const VImage fiveBands =
        solid(6, 4, {10, 20, 30, 200, 7})
            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    struct Case {
        const char* name;
        VImage image;
        std::vector<int> firstPixel;
    };
    const std::vector<Case> cases = {
        {"rgb", solid(6, 4, {10, 20, 30}), {10, 20, 30}},  {"grey", grey, {90, 90, 90}},
        {"grey with alpha", greyAlpha, {90, 90, 90, 128}}, {"16-bit rgb", deep, {10, 20, 30}},
        {"five bands", fiveBands, {10, 20, 30, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DisplayPixels pixels = toDisplayPixels(c.image);
        EXPECT_EQ(pixels.width, 6);
        EXPECT_EQ(pixels.height, 4);
        ASSERT_EQ(pixels.bands, static_cast<int>(c.firstPixel.size()));
        EXPECT_EQ(pixels.stride, 6u * c.firstPixel.size());
        const unsigned char* last = pixels.row(3) + pixels.stride - pixels.bands;
        EXPECT_EQ(std::vector<int>(last, last + pixels.bands), c.firstPixel);
    }
    EXPECT_THROW(toDisplayPixels(VImage()), ImagingError);
}

// The start-up self-test of error attribution finds a libvips whose errors
// miss the picture's scope: here one calling its own error function, as a
// library linked with -Bsymbolic-functions would, or one that says nothing.
void libraryError(const char* domain, const char* format, ...) {
    using Verror = void (*)(const char*, const char*, va_list);
    static const auto own = reinterpret_cast<Verror>(::dlsym(RTLD_NEXT, "vips_verror"));
    va_list ap;
    va_start(ap, format);
    own(domain, format, ap);
    va_end(ap);
}

TEST(ErrorAttribution, SelfTestTellsWhetherErrorsLandInTheirScope) {
    const auto bypassing = [] { libraryError("extract_area", "%s", "bad extract area"); };
    const std::pair<void (*)(), bool> cases[] = {
        {raiseKnownLibraryError, true}, {bypassing, false}, {[] {}, false}};
    for (const auto& [raise, lands] : cases) {
        SCOPED_TRACE(lands);
        EXPECT_EQ(errorsLandInTheirScope(raise), lands);
        // Nothing is left behind for later messages.
        EXPECT_EQ(std::string(vips_error_buffer()).find("extract_area"), std::string::npos);
    }
    EXPECT_TRUE(errorsStayWithTheirPicture());
}

}  // namespace
}  // namespace varnetto::testing
