#include "PixelSupport.h"
#include "processing/SchemePipeline.h"
#include "schemes/ReservedSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

namespace varnetto {
namespace {

using testing::RecordingReporter;
using testing::samePixels;
using testing::solid;
using testing::TempDir;

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

// The first and last index where profile (one row or one column) is not 0;
// -1 when it is 0 throughout.
std::pair<int, int> extent(const Bitmap& profile) {
    std::size_t size = 0;
    std::unique_ptr<double, decltype(&g_free)> data(
        static_cast<double*>(profile.cast(VIPS_FORMAT_DOUBLE).write_to_memory(&size)), &g_free);
    int lo = -1, hi = -1;
    for (std::size_t i = 0; i < size / sizeof(double); ++i) {
        if (data.get()[i] <= 0) continue;
        if (lo < 0) lo = static_cast<int>(i);
        hi = static_cast<int>(i);
    }
    return {lo, hi};
}

// The bounding box of the pixels where mask is set; empty when none is.
Box boxOf(const Bitmap& mask) {
    Bitmap rows;
    const Bitmap columns = mask.project(&rows);
    const auto [left, right] = extent(columns);
    const auto [top, bottom] = extent(rows);
    if (left < 0 || top < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

// Blue stamp pixels, and dark caption ink.
Box stampBox(const Bitmap& out) {
    return boxOf(((out.extract_band(2) > 200) & (out.extract_band(0) < 60)) / 255);
}
Box inkBox(const Bitmap& out) {
    return boxOf(((out.extract_band(0) < 100) & (out.extract_band(2) < 100)) / 255);
}

class Fitting : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path() / "Stamps");
        // 80 x 40: its aspect shows whether it was kept.
        testing::writeBmp(solid(80, 40, {0, 0, 255}), dir.str("Stamps/seal.bmp"));
        std::filesystem::create_directories(dir.path() / "out");
    }
    Scheme decorated(std::int32_t captionShare, std::int32_t stampShare) const {
        Scheme s;
        s.outputFolder = dir.str("out");
        s.textEnabled = 1;
        s.textContent = "HH";
        s.fontFace = "Liberation Sans";
        s.textPosX = 0.10f;
        s.textPosY = 0.70f;
        s.stampEnabled = 1;
        s.stampFile = "seal.bmp";
        s.stampPosX = 0.60f;
        s.stampPosY = 0.10f;
        setReservedValue(s, ReservedSettingId::CaptionHeight, captionShare);
        setReservedValue(s, ReservedSettingId::StampWidth, stampShare);
        return s;
    }

    TempDir dir;
    CImageBox control;
    RecordingReporter reporter;
};

// Sized to the picture, the caption and the stamp take the same share and
// place on pictures of every size and orientation.
TEST_F(Fitting, SizedCaptionAndStampKeepTheirLayout) {
    const Scheme s = decorated(800, 2500);  // 8 % of the height, 25 % of the width
    // Where the ink starts beside the position, in heights of the ink: the
    // same at every size when the caption is scaled as a whole.
    std::optional<std::pair<double, double>> bearing;
    for (const auto& [width, height] : {std::pair{4000, 3000}, {900, 1200}, {300, 200}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const Bitmap out =
            applyScheme(control, solid(width, height, {255, 255, 255}), s, dir.str(), reporter);
        ASSERT_EQ(out.width(), width);
        const Box stamp = stampBox(out);
        EXPECT_EQ(stamp.left, static_cast<int>(width * 0.60f));
        EXPECT_EQ(stamp.top, static_cast<int>(height * 0.10f));
        EXPECT_NEAR(stamp.width, 0.25 * width, 1.0);
        EXPECT_NEAR(stamp.height, stamp.width / 2.0, 1.0);
        const Box ink = inkBox(out);
        const double wanted = 0.08 * height;
        EXPECT_NEAR(ink.height, wanted, std::max(1.5, 0.03 * wanted));
        const std::pair<double, double> offset{
            (ink.left - static_cast<int>(width * 0.10f)) / double(ink.height),
            (ink.top - static_cast<int>(height * 0.70f)) / double(ink.height)};
        if (!bearing) bearing = offset;
        EXPECT_NEAR(offset.first, bearing->first, 0.12);
        EXPECT_NEAR(offset.second, bearing->second, 0.12);
    }
    EXPECT_TRUE(reporter.entries.empty());
}

// Share 0 draws as before the shares existed: the font's own size and the
// stamp file's own size, pixel for pixel.
TEST_F(Fitting, FixedSizesDrawAsTheyAlwaysDid) {
    Scheme s = decorated(0, 0);
    s.fontSize = 200;
    const Bitmap source = solid(500, 300, {255, 255, 255});
    const Bitmap out = applyScheme(control, source, s, dir.str(), reporter);

    CImageBox plain;
    plain.PutBitmap(source);
    CaptionFont font;
    font.face = "Liberation Sans";
    font.points = 24;
    plain.SetFont(font);
    plain.SetTransparentText(true);
    plain.DrawTextAt(50, 210, "HH");
    plain.SetDrawX(300);
    plain.SetDrawY(30);
    plain.SetPositionedDraw(true);
    plain.SetDrawMode(1);
    plain.OverlayFile(dir.str("Stamps/seal.bmp"));
    EXPECT_TRUE(samePixels(out, plain.GetBitmap()));
    EXPECT_EQ(stampBox(out).width, 80);
}

// Whatever falls off the picture is still written, and the picture's
// outcome says what was cut.
TEST_F(Fitting, DecorationsOffThePictureAreWrittenAndWarned) {
    struct Case {
        float textX, stampX;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {0.10f, 0.10f, {}},
        {0.95f, 0.10f, {"文字超出图像范围（“HH”，右边超出"}},
        {0.10f, 0.90f, {"印章超出图像范围（seal.bmp，右边超出"}},
        {0.95f, 0.90f, {"文字超出图像范围", "印章超出图像范围"}},
    };
    const std::string source = dir.str("Pic.png");
    solid(200, 150, {255, 255, 255}).write_to_file(source.c_str());
    for (const Case& c : cases) {
        Scheme s = decorated(0, 0);
        s.fontSize = 200;
        s.textPosX = c.textX;
        s.stampPosX = c.stampX;
        const ProcessResult r = processFile(control, source, 1, s, true, dir.str(), reporter,
                                            /*keepImage=*/false);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_TRUE(std::filesystem::exists(r.outputPath));
        if (c.said.empty()) {
            EXPECT_EQ(r.warning, "");
        } else {
            EXPECT_EQ(r.warning.rfind(source + "：", 0), 0u) << r.warning;
        }
        for (const std::string& part : c.said)
            EXPECT_NE(r.warning.find(part), std::string::npos) << r.warning;
    }
}

// Pictures of many sizes and textures, as photographs give them.
Bitmap texture(int width, int height, double sigma) {
    const Bitmap noise = Bitmap::gaussnoise(width, height, Bitmap::option()->set("sigma", sigma));
    const Bitmap ramp = Bitmap::xyz(width, height).extract_band(0) * (200.0 / width);
    const Bitmap grey = (noise + ramp - 70).cast(VIPS_FORMAT_UCHAR);
    return Bitmap::bandjoin({grey, grey.rot180(), grey.flip(VIPS_DIRECTION_HORIZONTAL)})
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

TEST_F(Fitting, FilesStayUnderTheSizeLimit) {
    constexpr int kLimitKb = 80;
    const OutputFormat formats[] = {OutputFormat::Jpeg, OutputFormat::WebP, OutputFormat::Avif};
    int pictures = 0;
    for (int i = 0; i < 20; ++i) {
        const int width = 240 + 40 * i;
        const int shapes[] = {width * 3 / 4, width * 4 / 3, width / 2};
        const int height = shapes[i % 3];
        const std::string source = dir.str("p" + std::to_string(i) + ".png");
        texture(width, height, 2.0 + 0.8 * i).write_to_file(source.c_str());
        Scheme s;
        s.outputFolder = dir.str("out");
        s.jpegQuality = 95;
        s.convertEnabled = s.formatConvertEnabled = 1;
        // AVIF is slow to encode: a few pictures are enough for it.
        s.outputFormat = stored(i % 7 == 6 ? formats[2] : formats[i % 2]);
        setReservedValue(s, ReservedSettingId::FileSizeLimit, kLimitKb);
        SCOPED_TRACE(source + " as " + std::to_string(s.outputFormat));
        const ProcessResult r = processFile(control, source, 1, s, true, dir.str(), reporter,
                                            /*keepImage=*/false);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.warning, "");
        const auto bytes = std::filesystem::file_size(r.outputPath);
        EXPECT_LE(bytes, kLimitKb * 1024u);
        EXPECT_EQ(static_cast<std::int64_t>(bytes), r.saved.bytes);
        EXPECT_TRUE(r.saved.limited && r.saved.fits);
        EXPECT_LE(r.saved.encodes, kMostLimitedEncodes);
        EXPECT_GE(r.saved.quality, kLowestLimitedQuality);
        EXPECT_LE(r.saved.quality, 95);
        ++pictures;
    }
    EXPECT_EQ(pictures, 20);
}

TEST_F(Fitting, PictureThatCannotFitIsWrittenAtTheLowestQualityAndWarned) {
    const std::string source = dir.str("noise.png");
    texture(1400, 1000, 80.0).write_to_file(source.c_str());
    Scheme s;
    s.outputFolder = dir.str("out");
    s.convertEnabled = s.formatConvertEnabled = 1;
    s.outputFormat = stored(OutputFormat::Jpeg);
    setReservedValue(s, ReservedSettingId::FileSizeLimit, 8);
    const ProcessResult r =
        processFile(control, source, 1, s, true, dir.str(), reporter, /*keepImage=*/false);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_FALSE(r.saved.fits);
    EXPECT_EQ(r.saved.quality, kLowestLimitedQuality);
    EXPECT_LE(r.saved.encodes, kMostLimitedEncodes);
    const auto kb = (std::filesystem::file_size(r.outputPath) + 1023) / 1024;
    EXPECT_NE(
        r.warning.find("文件超出大小上限 8 KB（最低质量 10 时仍有 " + std::to_string(kb) + " KB）"),
        std::string::npos)
        << r.warning;

    // Formats whose size does not follow a quality ignore the limit.
    s.outputFormat = stored(OutputFormat::Png);
    const ProcessResult png =
        processFile(control, source, 1, s, true, dir.str(), reporter, /*keepImage=*/false);
    ASSERT_TRUE(png.ok()) << png.error;
    EXPECT_FALSE(png.saved.limited);
    EXPECT_EQ(png.warning, "");
}

}  // namespace
}  // namespace varnetto
