#include "ImagingFixtures.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

namespace varnetto::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

VImage blackWhite(int width, int height) {
    return solid(width / 2, height, {0})
        .join(solid(width - width / 2, height, {255}), VIPS_DIRECTION_HORIZONTAL);
}

void expectNear(const std::vector<int>& actual, const std::vector<int>& expected, int tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "band " << i;
}

// The refusal a load of these bytes gives; the control must hold no image after it.
std::string refusalOf(const TempDir& dir, const std::string& name, const std::string& bytes) {
    writeBytes(dir.path() / name, bytes);
    CImageBox box;
    try {
        box.LoadFromFile(dir.str(name));
    } catch (const ImagingError& error) {
        EXPECT_FALSE(box.HasImage());
        return error.what();
    }
    ADD_FAILURE() << name << " loaded";
    return {};
}

struct InputPattern {
    std::string extension;
    std::function<void(const std::string&)> write;
    bool bilevel = false;
};

std::vector<InputPattern> inputPatterns() {
    const VImage picture = redBlue(40, 30);
    const VImage bw = blackWhite(40, 30);
    auto magick = [](const VImage& image, const char* format, Magick::ImageType type) {
        return [=](const std::string& path) { writeMagick(image, format, path, type); };
    };
    return {
        {".bmp", magick(picture, "BMP", Magick::TrueColorType)},
        {".gif", [=](const std::string& p) { picture.gifsave(p.c_str()); }},
        {".jpg", [=](const std::string& p) { picture.jpegsave(p.c_str()); }},
        {".jpeg", [=](const std::string& p) { picture.jpegsave(p.c_str()); }},
        {".png", [=](const std::string& p) { picture.pngsave(p.c_str()); }},
        {".wbmp", magick(bw, "WBMP", Magick::BilevelType), true},
        {".wbm", magick(bw, "WBMP", Magick::BilevelType), true},
        {".pcx", magick(picture, "PCX", Magick::TrueColorType)},
        {".psd", magick(picture, "PSD", Magick::TrueColorType)},
        {".tif", [=](const std::string& p) { picture.tiffsave(p.c_str()); }},
        {".tiff", [=](const std::string& p) { picture.tiffsave(p.c_str()); }},
    };
}

TEST(Decoding, EveryAcceptedPatternDecodesWithItsContent) {
    TempDir dir;
    for (const InputPattern& pattern : inputPatterns()) {
        SCOPED_TRACE(pattern.extension);
        const std::string path = dir.str("picture" + pattern.extension);
        pattern.write(path);
        CImageBox box;
        box.LoadFromFile(path);
        EXPECT_EQ(box.ImageWidth(), 40);
        EXPECT_EQ(box.ImageHeight(), 30);
        const VImage image = box.GetBitmap();
        if (pattern.bilevel) {
            EXPECT_EQ(box.GetColorType(), ColorType::BlackWhite);
            EXPECT_EQ(pixel(image, 5, 15), std::vector<int>{0});
            EXPECT_EQ(pixel(image, 35, 15), std::vector<int>{255});
        } else {
            expectNear(pixel(image, 5, 15), {255, 0, 0}, 8);
            expectNear(pixel(image, 35, 15), {0, 0, 255}, 8);
        }
    }
}

TEST(Decoding, ContentDecidesTheFormatNotTheName) {
    TempDir dir;
    const std::string path = dir.str("really-a-png.jpg");
    redBlue(20, 10).pngsave(path.c_str());
    CImageBox box;
    box.LoadFromFile(path);
    EXPECT_EQ(box.ImageWidth(), 20);
    // A name with brackets is taken literally, not as loader options.
    const std::string odd = dir.str("odd[page=2].png");
    fs::copy_file(path, odd);
    box.LoadFromFile(odd);
    EXPECT_EQ(box.ImageHeight(), 10);
    // ImageMagick formats too, both ways.
    for (const char* name : {"odd[1].bmp", "odd[0].wbmp", "odd:x.psd"}) {
        SCOPED_TRACE(name);
        box.SaveToFile(dir.str(name));
        CImageBox reader;
        reader.LoadFromFile(dir.str(name));
        EXPECT_EQ(reader.ImageWidth(), 20);
    }
    // 16 bits a sample stay 16.
    redBlue(20, 10)
        .cast(VIPS_FORMAT_USHORT)
        .linear(257, 0)
        .cast(VIPS_FORMAT_USHORT)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16))
        .pngsave(dir.str("deep.png").c_str());
    box.LoadFromFile(dir.str("deep.png"));
    EXPECT_EQ(box.GetBitmap().format(), VIPS_FORMAT_USHORT);
    EXPECT_EQ(pixel(box.GetBitmap(), 2, 2), (std::vector<int>{65535, 0, 0}));
}

TEST(Decoding, ExifOrientationIsAppliedOnLoadAndInThumbnails) {
    TempDir dir;
    const std::string path = dir.str("turned.jpg");
    VImage picture = redBlue(40, 20).copy();
    picture.set("orientation", 6);
    picture.jpegsave(path.c_str());

    CImageBox box;
    box.LoadFromFile(path);
    EXPECT_EQ(box.ImageWidth(), 20);
    EXPECT_EQ(box.ImageHeight(), 40);
    // Orientation 6 turns clockwise: the red left half ends up on top.
    expectNear(pixel(box.GetBitmap(), 10, 5), {255, 0, 0}, 10);
    const VImage thumb = CImageBox::Thumbnail(path, 160, 120);
    EXPECT_EQ(thumb.width(), 20);
    EXPECT_EQ(thumb.height(), 40);
    // Saved upright, the picture must not be turned a second time.
    box.SaveToFile(dir.str("saved.jpg"));
    box.LoadFromFile(dir.str("saved.jpg"));
    EXPECT_EQ(box.ImageWidth(), 20);
}

TEST(Decoding, ThumbnailsFitTheCellAndNeverEnlarge) {
    TempDir dir;
    const std::string wide = dir.str("wide.jpg");
    colorField(400, 200).jpegsave(wide.c_str());
    const VImage thumb = CImageBox::Thumbnail(wide, 160, 120);
    EXPECT_EQ(thumb.width(), 160);
    EXPECT_EQ(thumb.height(), 80);
    EXPECT_EQ(thumb.bands(), 3);

    const std::string small = dir.str("small.wbmp");
    writeMagick(blackWhite(50, 40), "WBMP", small, Magick::BilevelType);
    const VImage smallThumb = CImageBox::Thumbnail(small, 160, 120);
    EXPECT_EQ(smallThumb.width(), 50);
    EXPECT_EQ(smallThumb.height(), 40);

    try {
        CImageBox::Thumbnail(wide, 160, 120, 1000);
        FAIL() << "a picture above the limit gave a thumbnail";
    } catch (const ImagingError& error) {
        EXPECT_THAT(error.what(), HasSubstr(wide));
        EXPECT_THAT(error.what(), HasSubstr("400 X 200"));
    }
}

// Headers claiming 100000 x 100000 pixels in files of a few bytes: refused
// from the header alone, before any decoder allocates.
TEST(Decoding, PixelLimitIsCheckedOnTheHeaderBeforeDecoding) {
    TempDir dir;
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40;
    const unsigned huge = 100000;
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = static_cast<char>((huge >> (8 * i)) & 0xFF);
        bmp[22 + i] = static_cast<char>((huge >> (8 * i)) & 0xFF);
    }
    bmp[28] = 24;
    std::string psd(26, '\0');
    psd.replace(0, 4, "8BPS");
    psd[5] = 1, psd[13] = 3;
    for (int i = 0; i < 4; ++i) {
        psd[14 + i] = static_cast<char>((huge >> (8 * (3 - i))) & 0xFF);
        psd[18 + i] = static_cast<char>((huge >> (8 * (3 - i))) & 0xFF);
    }
    psd[23] = 8, psd[25] = 3;
    std::string pcx(128, '\0');
    pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 3;
    pcx[8] = pcx[10] = static_cast<char>(0xFF), pcx[9] = pcx[11] = static_cast<char>(0xFF);
    // WBMP: type 0, header 0, then 100000 in seven-bit groups.
    const std::string wbmp{0, 0, char(0x86), char(0x8D), 0x20, char(0x86), char(0x8D), 0x20};

    const std::vector<std::pair<std::string, std::string>> files = {
        {"huge.bmp", bmp}, {"huge.psd", psd}, {"huge.pcx", pcx}, {"huge.wbmp", wbmp}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string refusal = refusalOf(dir, name, bytes);
        EXPECT_THAT(refusal, HasSubstr(dir.str(name)));
        EXPECT_THAT(refusal, HasSubstr(name == "huge.pcx" ? "65536 X 65536" : "100000 X 100000"));
    }

    const std::string png = dir.str("normal.png");
    colorField(100, 100).pngsave(png.c_str());
    CImageBox box;
    box.SetPixelLimit(9999);
    EXPECT_THROW(box.LoadFromFile(png), ImagingError);
    box.SetPixelLimit(10000);
    EXPECT_NO_THROW(box.LoadFromFile(png));
}

TEST(Decoding, BrokenFilesNameTheFileAndTheReason) {
    TempDir dir;
    const std::string good = dir.str("good.jpg");
    colorField(64, 64).jpegsave(good.c_str());
    const std::string whole = readBytes(good);

    std::vector<std::pair<std::string, std::string>> files = {
        {"truncated.jpg", whole.substr(0, whole.size() / 2)},
        {"garbage.png", "this is not a picture at all"},
        {"empty.gif", ""},
        {"header-only.png", "\x89PNG\r\n\x1a\n"},
        {"notes.wbmp", "\x05\x00\x10\x10"},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string refusal = refusalOf(dir, name, bytes);
        EXPECT_THAT(refusal, HasSubstr(dir.str(name)));
        EXPECT_GT(refusal.size(), dir.str(name).size() + 12) << "no reason given: " << refusal;
    }
    CImageBox box;
    EXPECT_THROW(box.LoadFromFile(dir.str("missing.png")), ImagingError);
    EXPECT_THROW(box.LoadFromFile(dir.str()), ImagingError);
    // A failed load leaves no libvips error behind for the next message.
    box.LoadFromFile(good);
    EXPECT_STREQ(vips_error_buffer(), "");
}

TEST(Encoding, EveryOutputFormatIsWrittenAndReadsBack) {
    TempDir dir;
    const std::vector<std::string> formats = {"bmp",  "gif", "jpg", "pcx", "png",
                                              "wbmp", "psd", "tif", "pdf"};
    CImageBox box;
    for (const std::string& format : formats) {
        SCOPED_TRACE(format);
        const std::string path = dir.str("out." + format);
        box.PutBitmap(redBlue(40, 30));
        box.SaveToFile(path);
        ASSERT_TRUE(fs::exists(path));

        const std::map<std::string, std::string> signatures = {
            {"bmp", "BM"},   {"gif", "GIF8"},    {"jpg", "\xFF\xD8\xFF"},
            {"pcx", "\x0A"}, {"png", "\x89PNG"}, {"wbmp", std::string(2, '\0')},
            {"psd", "8BPS"}, {"tif", "II*"},     {"pdf", "%PDF"}};
        const std::string& signature = signatures.at(format);
        EXPECT_EQ(readBytes(path).substr(0, signature.size()), signature);

        if (format == "pdf") {
            const VImage page = VImage::pdfload(path.c_str(), VImage::option()->set("dpi", 96.0));
            EXPECT_EQ(page.width(), 40);
            EXPECT_EQ(page.height(), 30);
            std::vector<int> red = pixel(page, 5, 15);
            red.resize(3);
            expectNear(red, {255, 0, 0}, 10);
            continue;
        }
        CImageBox reader;
        reader.LoadFromFile(path);
        EXPECT_EQ(reader.ImageWidth(), 40);
        EXPECT_EQ(reader.ImageHeight(), 30);
        const Magick::Image second = readMagick(format == "jpg"   ? "JPEG"
                                                : format == "tif" ? "TIFF"
                                                                  : format,
                                                path);
        EXPECT_EQ(second.columns(), 40u);
        EXPECT_EQ(second.rows(), 30u);
        if (format == "wbmp") {
            // Red and blue are both dark: dithered mostly to black.
            EXPECT_EQ(reader.GetColorType(), ColorType::BlackWhite);
            EXPECT_EQ(distinctColors(reader.GetBitmap()), 2u);
            EXPECT_LT(reader.GetBitmap().avg(), 128);
        } else {
            expectNear(pixel(reader.GetBitmap(), 5, 15), {255, 0, 0}, 8);
            expectNear(pixel(reader.GetBitmap(), 35, 15), {0, 0, 255}, 8);
        }
    }
}

TEST(Encoding, JpegQualityTakesEffectAndIsClamped) {
    TempDir dir;
    CImageBox box;
    auto sizeAt = [&](int quality) {
        const std::string path = dir.str("q" + std::to_string(quality) + ".jpg");
        box.PutBitmap(colorField(160, 120));
        box.SetJpegQuality(static_cast<std::uint16_t>(quality));
        box.SaveToFile(path);
        return readBytes(path);
    };
    const std::string low = sizeAt(10);
    const std::string high = sizeAt(95);
    EXPECT_LT(low.size() * 2, high.size());
    // Out of range: 0 is quality 1 and 500 is quality 100 (never libvips'
    // silent fallback to 75).
    EXPECT_EQ(sizeAt(0), sizeAt(1));
    EXPECT_EQ(sizeAt(500), sizeAt(100));
    EXPECT_NE(sizeAt(100), sizeAt(75));
}

TEST(Encoding, PdfHoldsPhotosAsJpegAndReducedPicturesLosslessly) {
    TempDir dir;
    CImageBox box;
    auto pdfOf = [&](ColorType type, int quality, const std::string& name) {
        box.PutBitmap(colorField(200, 150));
        box.PutColorType(type);
        box.SetJpegQuality(static_cast<std::uint16_t>(quality));
        box.SaveToFile(dir.str(name));
        return readBytes(dir.path() / name);
    };
    const std::string low = pdfOf(ColorType::TrueColor24, 20, "low.pdf");
    const std::string high = pdfOf(ColorType::TrueColor24, 95, "high.pdf");
    EXPECT_NE(low.find("/DCTDecode"), std::string::npos);
    EXPECT_LT(low.size(), high.size());
    const std::string bw = pdfOf(ColorType::BlackWhite, 20, "bw.pdf");
    EXPECT_EQ(bw.find("/DCTDecode"), std::string::npos);
    const VImage page =
        VImage::pdfload(dir.str("bw.pdf").c_str(), VImage::option()->set("dpi", 96.0));
    EXPECT_EQ(page.width(), 200);
    EXPECT_EQ(page.height(), 150);
    EXPECT_LE(distinctColors(page.extract_band(0)), 2u) << "black and white, untouched";
}

TEST(Encoding, TiffCompressionSetsTheTagAndGroup4WritesOneBit) {
    TempDir dir;
    CImageBox box;
    std::vector<std::string> files;
    const VImage halves =
        solid(32, 64, {0, 0, 0}).join(solid(32, 64, {255, 255, 255}), VIPS_DIRECTION_HORIZONTAL);
    for (TiffCompression compression :
         {TiffCompression::None, TiffCompression::PackBits, TiffCompression::Group4}) {
        const std::string path = dir.str("c" + std::to_string(files.size()) + ".tif");
        box.PutBitmap(halves);
        box.SetTiffCompression(compression);
        box.SaveToFile(path);
        files.push_back(readBytes(path));
    }
    EXPECT_EQ(tiffTag(files[0], 259), 1);
    EXPECT_EQ(tiffTag(files[1], 259), 32773);
    EXPECT_EQ(tiffTag(files[2], 259), 4);
    EXPECT_EQ(tiffTag(files[2], 258), 1);
    EXPECT_LT(files[1].size(), files[0].size());
    EXPECT_LT(files[2].size(), files[1].size());

    const std::string path = dir.str("c2.tif");
    CImageBox reader;
    reader.LoadFromFile(path);
    EXPECT_EQ(reader.GetColorType(), ColorType::BlackWhite);
    EXPECT_EQ(pixel(reader.GetBitmap(), 10, 10), std::vector<int>{0});
    EXPECT_EQ(pixel(reader.GetBitmap(), 50, 10), std::vector<int>{255});
    EXPECT_EQ(readMagick("TIFF", path).compressType(), Magick::Group4Compression);
}

TEST(Encoding, FailedSavesReportAndLeaveNoFile) {
    TempDir dir;
    CImageBox box;
    EXPECT_THROW(box.SaveToFile(dir.str("nothing.png")), ImagingError);
    box.PutBitmap(redBlue(20, 20));
    const std::vector<std::string> targets = {dir.str("missing-folder/out.png"), dir.str("out.xyz"),
                                              dir.str("noextension")};
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        try {
            box.SaveToFile(target);
            FAIL() << "saved";
        } catch (const ImagingError& error) {
            EXPECT_THAT(error.what(), HasSubstr(target));
        }
    }
    // The encoder itself fails (a PDF page wider than cairo allows).
    box.PutBitmap(solid(40000, 1, {0, 0, 0}));
    EXPECT_THROW(box.SaveToFile(dir.str("wide.pdf")), ImagingError);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Sides beyond what ImageMagick's policy allows (Debian: 16K pixels) used to
// end the process in an assertion. Each picture is written or fails alone,
// with ImageMagick's reason and without leftovers; the next save works.
TEST(Encoding, PicturesBeyondImageMagicksLimitsFailAlone) {
    TempDir dir;
    CImageBox box;
    for (const auto& [width, height] : {std::pair{20000, 4}, std::pair{4, 20000}}) {
        for (const std::string format : {"bmp", "pcx", "psd", "wbmp"}) {
            SCOPED_TRACE(format + " " + std::to_string(width) + "x" + std::to_string(height));
            const std::string path = dir.str("big." + format);
            box.PutBitmap(redBlue(width, height));
            try {
                box.SaveToFile(path);
                // Written (the policy may still keep ImageMagick from
                // reading it back).
                EXPECT_GT(fs::file_size(path), static_cast<std::uintmax_t>(width * height / 8));
            } catch (const ImagingError& error) {
                EXPECT_THAT(error.what(), HasSubstr(path));
                EXPECT_THAT(error.what(), HasSubstr("exceeds limit"));
                EXPECT_TRUE(fs::is_empty(dir.path()));
            }
            fs::remove(path);
        }
    }
    box.PutBitmap(redBlue(40, 30));
    box.SaveToFile(dir.str("small.bmp"));
    EXPECT_TRUE(fs::exists(dir.str("small.bmp")));
}

// A disk that fills up mid-write (here: a file size limit, which fails the
// same writes) is named as the system names it, with the output file the
// user knows, whichever encoder was writing.
TEST(Encoding, AFullDiskIsNamedWithTheOutputFile) {
    TempDir dir;
    CImageBox box;
    const VImage noise =
        VImage::gaussnoise(300, 200, VImage::option()->set("sigma", 80)).cast(VIPS_FORMAT_UCHAR);
    box.PutBitmap(VImage::bandjoin({noise, noise.rot180(), noise.fliphor()})
                      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)));
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 3000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<std::string> messages;
    for (const std::string format :
         {"bmp", "gif", "jpg", "pcx", "png", "wbmp", "psd", "tif", "pdf"}) {
        const std::string path = dir.str("out." + format);
        try {
            box.SaveToFile(path);
            messages.push_back(format + " saved");
        } catch (const ImagingError& error) {
            messages.push_back(error.what());
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);
    for (const std::string& message : messages) {
        SCOPED_TRACE(message);
        const size_t named = message.find("无法保存图像 " + dir.str("out."));
        EXPECT_EQ(named, 0u);
        EXPECT_EQ(message.substr(message.size() - std::strlen(std::strerror(EFBIG))),
                  std::strerror(EFBIG));
        EXPECT_EQ(message.find(".~"), std::string::npos);
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Encoding, SavingReplacesTheFileAndReloadingSeesTheNewPixels) {
    TempDir dir;
    const std::string path = dir.str("same.png");
    CImageBox box;
    box.PutBitmap(solid(10, 10, {255, 0, 0}));
    box.SaveToFile(path);
    box.LoadFromFile(path);
    expectNear(pixel(box.GetBitmap(), 0, 0), {255, 0, 0}, 0);
    // The output replaces its own source.
    box.PutBitmap(solid(10, 10, {0, 255, 0}));
    box.SaveToFile(path);
    box.LoadFromFile(path);
    expectNear(pixel(box.GetBitmap(), 0, 0), {0, 255, 0}, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace varnetto::testing
