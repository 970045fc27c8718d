#include "PixelSupport.h"
#include "common/ImageFormats.h"
#include "processing/SchemePipeline.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

using namespace varnetto;
using namespace varnetto::testing;
namespace fs = std::filesystem;

namespace {

// A picture with detail everywhere, so any difference in decoding or
// resampling shows in the pixels.
Bitmap detailed(int width, int height) {
    const Bitmap xy = Bitmap::xyz(width, height);
    const Bitmap r = (xy[0] * 7 + xy[1] * 3) % 256;
    const Bitmap g = (xy[0] * xy[1]) % 251;
    const Bitmap b = (xy[1] * 5) % 256;
    return r.bandjoin({g, b})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

class StreamingLoad : public ::testing::Test {
  protected:
    StreamingLoad() {
        scheme.outputFolder = dir.str("out");
        fs::create_directories(scheme.outputFolder);
        scheme.resizeEnabled = 1;
        scheme.resizeMode = stored(ResizeMode::Width);
        scheme.resizeValue = 300;
        scheme.resampleFilter = stored(ResampleFilter::Lanczos);
        scheme.jpegQuality = 85;
    }
    std::string writeJpeg(const std::string& name, int orientation = 1) {
        Bitmap image = detailed(1200, 800).copy();
        if (orientation != 1) image.set(VIPS_META_ORIENTATION, orientation);
        const std::string path = dir.str(name);
        image.jpegsave(path.c_str(), Bitmap::option()->set("Q", 95));
        return path;
    }
    Bitmap loadOutput(const std::string& path) {
        return Bitmap::new_from_file(path.c_str()).copy_memory();
    }

    TempDir dir;
    Scheme scheme;
    CImageBox control;
    RecordingReporter reporter;
};

}  // namespace

TEST_F(StreamingLoad, OnlyPureResizeToJpegWebPOrAvifReadsOnceInOrder) {
    for (const char* output : {"/out/a.jpg", "/out/a.webp", "/out/a.avif"})
        EXPECT_TRUE(readsSourceOnceInOrder(scheme, output)) << output;
    EXPECT_FALSE(readsSourceOnceInOrder(scheme, "/out/a.png"));
    Scheme s = scheme;
    s.enhanceEnabled = 1;
    EXPECT_FALSE(readsSourceOnceInOrder(s, "/out/a.jpg"));
    s = scheme;
    s.borderEnabled = 1;
    EXPECT_FALSE(readsSourceOnceInOrder(s, "/out/a.jpg"));
    s = scheme;
    s.convertEnabled = s.colorConvertEnabled = 1;
    EXPECT_FALSE(readsSourceOnceInOrder(s, "/out/a.jpg"));
    s.colorConvertEnabled = 0;  // format conversion alone only names the file
    EXPECT_TRUE(readsSourceOnceInOrder(s, "/out/a.jpg"));
}

// Whether the output streams is the table's word for its format, whatever
// letter case the output's suffix has (a source kept as "IMG_1.JPG").
TEST_F(StreamingLoad, EveryInOrderSaverStreamsWhateverTheSuffixCase) {
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes) {
            std::string shouted(suffix.text);
            for (char& c : shouted)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (const std::string& output :
                 {"/out/a." + std::string(suffix.text), "/out/IMG_1." + shouted}) {
                EXPECT_EQ(readsSourceOnceInOrder(scheme, output), format.inOrder.encodes) << output;
            }
        }
    EXPECT_FALSE(readsSourceOnceInOrder(scheme, "/out/jpg"));
    EXPECT_FALSE(readsSourceOnceInOrder(scheme, "/out/a.txt"));
}

TEST_F(StreamingLoad, WritesTheSameFileAsAFullDecode) {
    const std::string source = writeJpeg("photo.jpg");
    for (const OutputFormat format : {OutputFormat::Jpeg, OutputFormat::WebP}) {
        SCOPED_TRACE(stored(format));
        scheme.convertEnabled = scheme.formatConvertEnabled = 1;
        scheme.outputFormat = stored(format);
        const ProcessResult streamed =
            processFile(control, source, 1, scheme, true, dir.str(), reporter, false);
        ASSERT_TRUE(streamed.ok()) << streamed.error;
        EXPECT_FALSE(control.HasImage());
        const std::string streamedBytes = readBytes(streamed.outputPath);

        const ProcessResult full =
            processFile(control, source, 1, scheme, true, dir.str(), reporter);
        ASSERT_TRUE(full.ok()) << full.error;
        EXPECT_EQ(full.image.width(), 300);
        EXPECT_EQ(full.image.height(), 200);
        EXPECT_EQ(readBytes(full.outputPath), streamedBytes);
        // Streaming is an option of the call, not left behind in the control.
        EXPECT_FALSE(control.StreamingLoads());
    }
}

TEST_F(StreamingLoad, RotatedPicturesAreStillTurnedUpright) {
    const std::string source = writeJpeg("turned.jpg", 6);
    const ProcessResult result =
        processFile(control, source, 1, scheme, true, dir.str(), reporter, false);
    ASSERT_TRUE(result.ok()) << result.error;
    const Bitmap out = loadOutput(result.outputPath);
    // 1200 x 800 stored, 800 x 1200 upright, then 300 wide.
    EXPECT_EQ(out.width(), 300);
    EXPECT_EQ(out.height(), 450);
}

TEST_F(StreamingLoad, TruncatedSourceFailsWithoutLeavingFiles) {
    const std::string source = writeJpeg("cut.jpg");
    const std::string bytes = readBytes(source);
    writeBytes(source, bytes.substr(0, bytes.size() * 2 / 3));
    const ProcessResult result =
        processFile(control, source, 1, scheme, true, dir.str(), reporter, false);
    EXPECT_FALSE(result.ok());
    // The picture is decoded while the result is written, yet the failure is
    // the source's: it cannot be read.
    EXPECT_EQ(result.error.find("无法读取图像 " + source + "："), 0u) << result.error;
    EXPECT_EQ(result.error.find("无法保存图像"), std::string::npos) << result.error;
    EXPECT_TRUE(fs::is_empty(scheme.outputFolder));
}

TEST_F(StreamingLoad, OutputMayReplaceItsOwnSource) {
    const std::string source = writeJpeg("self.jpg");
    scheme.outputFolder = dir.str();
    const ProcessResult result =
        processFile(control, source, 1, scheme, true, dir.str(), reporter, false);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.outputPath, source);
    const Bitmap out = loadOutput(source);
    EXPECT_EQ(out.width(), 300);
    EXPECT_EQ(out.height(), 200);
    // Only the picture is left: no temporary file beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}
