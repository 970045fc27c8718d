#include "ImagingFixtures.h"
#include "imaging/Thumbnails.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace varnetto::testing {
namespace {

void put16(std::string& out, unsigned value) {
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}
void put32(std::string& out, unsigned value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
// One little-endian directory entry holding a single SHORT (type 3) or LONG
// (type 4) value.
void entry(std::string& out, unsigned tag, unsigned type, unsigned value) {
    put16(out, tag);
    put16(out, type);
    put32(out, 1);
    if (type == 3) {
        put16(out, value);
        put16(out, 0);
    } else {
        put32(out, value);
    }
}

// A JPEG of picture whose EXIF block holds the orientation and thumbnail as
// a camera writes them: the thumbnail in the second directory.
std::string jpegWithExifThumbnail(const VImage& picture, int orientation, const VImage& thumbnail) {
    const std::string thumb = [&] {
        size_t length = 0;
        void* data = nullptr;
        thumbnail.write_to_buffer(".jpg", &data, &length);
        std::string bytes(static_cast<const char*>(data), length);
        g_free(data);
        return bytes;
    }();
    std::string tiff("II*\0", 4);
    put32(tiff, 8);
    // First directory at 8: the orientation; the second at 26.
    put16(tiff, 1);
    entry(tiff, 0x0112, 3, unsigned(orientation));
    put32(tiff, 26);
    // Second directory at 26: JPEG compression, thumbnail offset and length;
    // the thumbnail follows at 68.
    put16(tiff, 3);
    entry(tiff, 0x0103, 3, 6);
    entry(tiff, 0x0201, 4, 68);
    entry(tiff, 0x0202, 4, unsigned(thumb.size()));
    put32(tiff, 0);
    tiff += thumb;
    const std::string payload = std::string("Exif\0\0", 6) + tiff;

    size_t length = 0;
    void* data = nullptr;
    picture.write_to_buffer(".jpg", &data, &length);
    std::string file(static_cast<const char*>(data), length);
    g_free(data);
    std::string segment("\xFF\xE1", 2);
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    return file.insert(2, segment + payload);
}

// Left half green, right half blue: tells a turned thumbnail from an upright
// one, and the thumbnail from the red picture.
VImage greenBlue(int width, int height) {
    return solid(width / 2, height, {0, 255, 0})
        .join(solid(width - width / 2, height, {0, 0, 255}), VIPS_DIRECTION_HORIZONTAL);
}

bool near(const std::vector<int>& actual, const std::vector<int>& expected) {
    for (size_t i = 0; i < expected.size(); ++i)
        if (std::abs(actual.at(i) - expected[i]) > 40) return false;
    return true;
}

TEST(ExifThumbnails, StandInOnlyForAPictureOfTheirShapeAndOrientation) {
    struct Case {
        const char* name;
        int width, height;  // the picture as stored
        int orientation;
        int thumbWidth, thumbHeight;  // the thumbnail as stored
        int targetWidth, targetHeight;
        bool cutShort;
        bool used;
    };
    const Case cases[] = {
        {"4:3 picture, 4:3 thumbnail", 640, 480, 1, 160, 120, 160, 120, false, true},
        {"16:9 picture, thumbnail rounded to whole pixels", 1920, 1080, 1, 196, 110, 160, 90, false,
         true},
        {"turned picture, thumbnail stored as the picture", 640, 480, 6, 160, 120, 90, 120, false,
         true},
        {"3:2 picture, letterboxed 4:3 thumbnail", 600, 400, 1, 160, 120, 160, 106, false, false},
        {"turned picture, thumbnail already upright", 640, 480, 6, 120, 160, 90, 120, false, false},
        {"thumbnail smaller than the cell picture", 640, 480, 1, 80, 60, 160, 120, false, false},
        {"picture data cut short", 640, 480, 1, 160, 120, 160, 120, true, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.str("photo.jpg");
        std::string bytes =
            jpegWithExifThumbnail(solid(c.width, c.height, {255, 0, 0}), c.orientation,
                                  greenBlue(c.thumbWidth, c.thumbHeight));
        if (c.cutShort) bytes.resize(bytes.size() - 200);
        writeBytes(path, bytes);

        const std::optional<VImage> quick = exifThumbnail(path, c.targetWidth, c.targetHeight);
        ASSERT_EQ(quick.has_value(), c.used);
        std::string damage;
        const VImage thumb =
            thumbnailOfSize(path, c.targetWidth, c.targetHeight, kDefaultPixelLimit, &damage);
        EXPECT_EQ(damage.empty(), !c.cutShort) << "a cut-short picture is decoded to tell so";
        EXPECT_STREQ(vips_error_buffer(), "") << "nothing left to join the next failure's reason";
        if (c.cutShort) continue;
        ASSERT_EQ(thumb.width(), c.targetWidth);
        ASSERT_EQ(thumb.height(), c.targetHeight);
        const int cx = c.targetWidth / 2;
        const int cy = c.targetHeight / 2;
        if (!c.used) {
            EXPECT_TRUE(near(pixel(thumb, cx, cy), {255, 0, 0})) << "the picture itself";
        } else if (c.orientation == 6) {
            // Turned clockwise: the stored left half ends up on top.
            EXPECT_TRUE(near(pixel(thumb, cx, 8), {0, 255, 0}));
            EXPECT_TRUE(near(pixel(thumb, cx, c.targetHeight - 8), {0, 0, 255}));
        } else {
            EXPECT_TRUE(near(pixel(thumb, 8, cy), {0, 255, 0}));
            EXPECT_TRUE(near(pixel(thumb, c.targetWidth - 8, cy), {0, 0, 255}));
        }
    }
}

TEST(ExifThumbnails, NothingToOfferOutsideCompleteJpegsWithinTheLimit) {
    TempDir dir;
    solid(640, 480, {255, 0, 0}).pngsave(dir.str("plain.png").c_str());
    solid(640, 480, {255, 0, 0}).jpegsave(dir.str("bare.jpg").c_str());
    writeBytes(dir.path() / "big.jpg",
               jpegWithExifThumbnail(solid(640, 480, {255, 0, 0}), 1, greenBlue(160, 120)));
    EXPECT_FALSE(exifThumbnail(dir.str("plain.png"), 160, 120));
    EXPECT_FALSE(exifThumbnail(dir.str("bare.jpg"), 160, 120));
    EXPECT_FALSE(exifThumbnail(dir.str("missing.jpg"), 160, 120));
    EXPECT_FALSE(exifThumbnail(dir.str("big.jpg"), 160, 120, 640 * 480 - 1))
        << "a picture above the limit is refused by the long way, not shown";
    EXPECT_TRUE(exifThumbnail(dir.str("big.jpg"), 160, 120, 640 * 480));
    EXPECT_STREQ(vips_error_buffer(), "");
}

}  // namespace
}  // namespace varnetto::testing
