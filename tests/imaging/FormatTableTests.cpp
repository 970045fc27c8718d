#include "ImagingFixtures.h"
#include "OrientedWriters.h"
#include "imaging/FormatCodecs.h"
#include "imaging/ZoomablePicture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

namespace varnetto::testing {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Saving under any suffix of a row, in either letter case, writes that row's
// format: the content says so (WBMP, without a signature, its suffix), and
// the file reads back at its size.
TEST(FormatTable, EverySuffixSavesInItsRowsFormat) {
    TempDir dir;
    for (const ImageFormat& format : imageFormats) {
        if (format.saver == Codec::None) continue;
        for (const FormatSuffix& suffix : format.suffixes) {
            for (const std::string& name :
                 {"lower." + std::string(suffix.text), "UPPER." + upper(suffix.text)}) {
                SCOPED_TRACE(name);
                const std::string path = dir.str(name);
                CImageBox box;
                box.PutBitmap(redBlue(24, 16));
                box.SaveToFile(path);
                if (format.loader == Codec::None) {
                    EXPECT_EQ(readBytes(path).substr(0, 5), "%PDF-");
                    continue;
                }
                EXPECT_EQ(detail::readPictureHeader(path).kind, format.kind);
                box.LoadFromFile(path);
                EXPECT_EQ(box.ImageWidth(), 24);
                EXPECT_EQ(box.ImageHeight(), 16);
            }
        }
    }
    CImageBox box;
    box.PutBitmap(redBlue(24, 16));
    EXPECT_THROW(box.SaveToFile(dir.str("notes.txt")), ImagingError);
}

// What libvips reads itself opens in the viewer without being decoded, so the
// viewer learns the turn from the header: the picture is upright and as
// large as its decoded pixels, whichever of these formats carries the turn.
TEST(FormatTable, TurnedPicturesOpenUprightInTheViewer) {
    using Writer = std::function<void(const VImage&, const std::string&)>;
    // An EXIF block, written by the format's saver.
    const Writer exifTurned = [](const VImage& picture, const std::string& path) {
        VImage turned = picture.copy();
        turned.set(VIPS_META_ORIENTATION, 6);
        turned.write_to_file(path.c_str());
    };
    const std::vector<std::pair<FileKind, Writer>> writers{
        {FileKind::Jpeg, exifTurned},
        {FileKind::WebP, exifTurned},
        {FileKind::Heif,
         [](const VImage& p, const std::string& path) { writeTurnedHeif(p, path, false, 6); }},
        {FileKind::Avif,
         [](const VImage& p, const std::string& path) { writeTurnedHeif(p, path, true, 6); }},
        {FileKind::Jxl,
         [](const VImage& p, const std::string& path) { writeTurnedJxl(p, path, 6); }},
    };
    TempDir dir;
    for (const auto& [kind, write] : writers) {
        const ImageFormat& format = formatOf(kind);
        SCOPED_TRACE(format.label);
        ASSERT_EQ(format.loader, Codec::Libvips);
        const std::string path = dir.str("turned." + std::string(format.suffixes.first()));
        write(redBlue(40, 30), path);

        const auto picture = ZoomablePicture::open(path, 400, 300);
        EXPECT_EQ(picture->width(), 30);
        EXPECT_EQ(picture->height(), 40);
        const VImage shown = picture->render(1, 1, {0, 0, 30, 40});
        ASSERT_EQ(shown.width(), 30);
        ASSERT_EQ(shown.height(), 40);
        // Turned clockwise: the red left half is now on top.
        EXPECT_GT(pixel(shown, 15, 5)[0], 200);
        EXPECT_GT(pixel(shown, 15, 35)[2], 200);
    }
}

}  // namespace
}  // namespace varnetto::testing
