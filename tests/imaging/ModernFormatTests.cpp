#include "ImagingFixtures.h"
#include "OrientedWriters.h"
#include "imaging/PictureProbe.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace varnetto::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

void expectNear(const std::vector<int>& actual, const std::vector<int>& expected, int tolerance) {
    ASSERT_GE(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "band " << i;
}

struct PhoneFormat {
    std::string extension;
    // Writes the picture so that a viewer shows it turned by orientation.
    std::function<void(const VImage&, const std::string&, int orientation)> write;
};

std::vector<PhoneFormat> phoneFormats() {
    auto heif = [](bool av1) {
        return [av1](const VImage& p, const std::string& path, int orientation) {
            writeTurnedHeif(p, path, av1, orientation);
        };
    };
    return {
        {".webp",
         [](const VImage& p, const std::string& path, int orientation) {
             VImage turned = p.copy();
             turned.set(VIPS_META_ORIENTATION, orientation);  // an EXIF block
             turned.webpsave(path.c_str(), VImage::option()->set("lossless", true));
         }},
        {".heic", heif(false)},
        {".heif", heif(false)},
        {".avif", heif(true)},
        {".jxl", writeTurnedJxl},
    };
}

// Each format as a phone or camera writes it: size, colours and the turn it
// asks for, on load, in thumbnails and in the header probe; the content
// decides, not the name.
TEST(PhoneFormats, LoadUprightWithTheirSizeAndContent) {
    TempDir dir;
    for (const PhoneFormat& format : phoneFormats()) {
        SCOPED_TRACE(format.extension);
        const std::string plain = dir.str("plain" + format.extension);
        const std::string turned = dir.str("turned" + format.extension);
        format.write(redBlue(40, 30), plain, 1);
        format.write(redBlue(40, 30), turned, 6);

        CImageBox box;
        box.LoadFromFile(plain);
        EXPECT_EQ(box.ImageWidth(), 40);
        EXPECT_EQ(box.ImageHeight(), 30);
        expectNear(pixel(box.GetBitmap(), 5, 15), {255, 0, 0}, 24);
        expectNear(pixel(box.GetBitmap(), 35, 15), {0, 0, 255}, 24);

        box.LoadFromFile(turned);
        EXPECT_EQ(box.ImageWidth(), 30);
        EXPECT_EQ(box.ImageHeight(), 40);
        // Turned clockwise: the red left half is now on top.
        expectNear(pixel(box.GetBitmap(), 15, 5), {255, 0, 0}, 24);
        expectNear(pixel(box.GetBitmap(), 15, 35), {0, 0, 255}, 24);
        const VImage thumb = CImageBox::Thumbnail(turned, 160, 120);
        EXPECT_EQ(thumb.width(), 30);
        EXPECT_EQ(thumb.height(), 40);
        const auto facts = probePicture(turned);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->width, 30);
        EXPECT_EQ(facts->height, 40);

        const std::string misnamed = dir.str("misnamed" + format.extension + ".jpg");
        fs::copy_file(plain, misnamed);
        box.LoadFromFile(misnamed);
        EXPECT_EQ(box.ImageWidth(), 40);
    }
}

TEST(PhoneFormats, PixelLimitAndBrokenFilesAreRefusedNamingTheFile) {
    TempDir dir;
    for (const PhoneFormat& format : phoneFormats()) {
        SCOPED_TRACE(format.extension);
        const std::string path = dir.str("p" + format.extension);
        format.write(colorField(40, 30), path, 1);
        CImageBox box;
        box.SetPixelLimit(40 * 30 - 1);
        try {
            box.LoadFromFile(path);
            ADD_FAILURE() << "a picture above the limit loaded";
        } catch (const ImagingError& error) {
            EXPECT_THAT(error.what(), HasSubstr(path));
            EXPECT_THAT(error.what(), HasSubstr("40 X 30"));
        }
        EXPECT_FALSE(box.HasImage());

        const std::string whole = readBytes(path);
        const std::string broken = dir.str("broken" + format.extension);
        writeBytes(broken, whole.substr(0, whole.size() / 2));
        try {
            CImageBox().LoadFromFile(broken);
            ADD_FAILURE() << "half a file loaded";
        } catch (const ImagingError& error) {
            EXPECT_THAT(error.what(), HasSubstr(broken));
        }
    }
}

VImage asRgb(const VImage& image) {
    if (image.bands() < 3) return VImage::bandjoin({image, image, image});
    return image.extract_band(0, VImage::option()->set("n", 3));
}

// Runs a command line; its exit status.
int shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

TEST(PhoneFormats, WebPAndAvifOutputReadsBackHereAndInIndependentDecoders) {
    TempDir dir;
    for (const std::string format : {"webp", "avif"}) {
        SCOPED_TRACE(format);
        CImageBox box;
        box.SetJpegQuality(90);
        box.PutBitmap(redBlue(40, 30));
        const std::string path = dir.str("out." + format);
        box.SaveToFile(path);
        const std::string bytes = readBytes(path);
        if (format == "webp") {
            EXPECT_EQ(bytes.substr(0, 4), "RIFF");
            EXPECT_EQ(bytes.substr(8, 4), "WEBP");
        } else {
            EXPECT_EQ(bytes.substr(4, 8), "ftypavif");
        }

        CImageBox reader;
        reader.LoadFromFile(path);
        EXPECT_EQ(reader.ImageWidth(), 40);
        EXPECT_EQ(reader.ImageHeight(), 30);
        expectNear(pixel(reader.GetBitmap(), 5, 15), {255, 0, 0}, 16);

        // Decoders that share nothing with libvips' loaders.
        const std::string decoded = dir.str(format + "-decoded.png");
        const std::string command = format == "webp"
                                        ? "dwebp '" + path + "' -o '" + decoded + "'"
                                        : "heif-convert '" + path + "' '" + decoded + "'";
        ASSERT_EQ(shell(command), 0) << command << " (scripts/install-deps installs it)";
        if (format == "avif") {
            EXPECT_EQ(shell("heif-info '" + path + "'"), 0);
        }
        const VImage other = VImage::pngload(decoded.c_str());
        EXPECT_EQ(other.width(), 40);
        EXPECT_EQ(other.height(), 30);
        expectNear(pixel(other, 5, 15), {255, 0, 0}, 16);
        expectNear(pixel(other, 35, 15), {0, 0, 255}, 16);
    }
}

// A picture kept under its own extension is written in its own format.
TEST(PhoneFormats, HeicHeifAndJxlAreWrittenInTheirOwnFormat) {
    TempDir dir;
    CImageBox box;
    for (const std::string format : {"heic", "heif", "jxl"}) {
        SCOPED_TRACE(format);
        box.PutBitmap(redBlue(40, 30));
        const std::string path = dir.str("kept." + format);
        box.SaveToFile(path);
        const std::string bytes = readBytes(path);
        EXPECT_EQ(format == "jxl" ? bytes.substr(0, 2) : bytes.substr(4, 8),
                  format == "jxl" ? "\xFF\x0A" : "ftypheic");
        CImageBox reader;
        reader.LoadFromFile(path);
        EXPECT_EQ(reader.ImageWidth(), 40);
        expectNear(pixel(reader.GetBitmap(), 35, 15), {0, 0, 255}, 24);
    }
}

TEST(PhoneFormats, QualityAppliesAndReducedPicturesStayExactInWebP) {
    TempDir dir;
    CImageBox box;
    for (const std::string format : {"webp", "avif"}) {
        SCOPED_TRACE(format);
        auto sizeAt = [&](int quality) {
            box.SetJpegQuality(static_cast<std::uint16_t>(quality));
            box.PutBitmap(colorField(160, 120));
            const std::string path = dir.str(std::to_string(quality) + "." + format);
            box.SaveToFile(path);
            return readBytes(path).size();
        };
        EXPECT_LT(sizeAt(10), sizeAt(95));
    }

    // Palette and grey types are stored losslessly: every pixel comes back.
    box.SetJpegQuality(10);
    for (const ColorType type : {ColorType::Palette16, ColorType::Gray256, ColorType::BlackWhite}) {
        SCOPED_TRACE(static_cast<int>(type));
        box.PutBitmap(colorField(64, 48));
        box.PutColorType(type);
        const VImage reduced = box.GetBitmap();
        const std::string path = dir.str("reduced.webp");
        box.SaveToFile(path);
        CImageBox reader;
        reader.LoadFromFile(path);
        const VImage back = reader.GetBitmap();
        EXPECT_EQ(meanDifference(asRgb(back), asRgb(reduced)), 0.0);
    }
}

TEST(PhoneFormats, ExifTravelsIntoWebPAndAvifLikeIntoJpeg) {
    TempDir dir;
    VImage tagged = colorField(40, 30).copy();
    tagged.set(VIPS_META_ORIENTATION, 1);  // makes the JPEG writer add an EXIF block
    const std::string source = dir.str("tagged.jpg");
    tagged.jpegsave(source.c_str());
    for (const std::string format : {"jpg", "webp", "avif"}) {
        SCOPED_TRACE(format);
        CImageBox box;
        box.LoadFromFile(source);
        const std::string path = dir.str("copy." + format);
        box.SaveToFile(path);
        EXPECT_NE(VImage::new_from_file(path.c_str()).get_typeof(VIPS_META_EXIF_NAME), 0u);
    }
}

}  // namespace
}  // namespace varnetto::testing
