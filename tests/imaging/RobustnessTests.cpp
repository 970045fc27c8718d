#include "ImagingFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vector.h>

#include <atomic>
#include <future>
#include <random>
#include <thread>

namespace varnetto::testing {
namespace {

// Damaged files of every input format: each load either works or throws
// ImagingError, never crashes or hangs.
TEST(Decoding, DamagedFilesNeverCrash) {
    TempDir dir;
    const VImage picture = redBlue(24, 16);
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> sources = {
        {"bmp", [&](const std::string& p) { writeMagick(picture, "BMP", p); }},
        {"pcx", [&](const std::string& p) { writeMagick(picture, "PCX", p); }},
        {"psd", [&](const std::string& p) { writeMagick(picture, "PSD", p); }},
        {"wbmp",
         [&](const std::string& p) {
             writeMagick(picture.colourspace(VIPS_INTERPRETATION_B_W), "WBMP", p,
                         Magick::BilevelType);
         }},
        {"png", [&](const std::string& p) { picture.pngsave(p.c_str()); }},
        {"gif", [&](const std::string& p) { picture.gifsave(p.c_str()); }},
        {"jpg", [&](const std::string& p) { picture.jpegsave(p.c_str()); }},
        {"tif", [&](const std::string& p) { picture.tiffsave(p.c_str()); }},
    };
    std::mt19937 random(7);
    for (const auto& [ext, write] : sources) {
        const std::string original = dir.str("original." + ext);
        write(original);
        const std::string bytes = readBytes(original);
        for (int round = 0; round < 40; ++round) {
            std::string damaged = bytes;
            const int changes = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < changes; ++i)
                damaged[random() % std::min<std::size_t>(damaged.size(), 200)] =
                    static_cast<char>(random());
            if (round % 5 == 4) damaged.resize(random() % damaged.size());
            const std::string path = dir.str("damaged." + ext);
            writeBytes(path, damaged);
            CImageBox box;
            try {
                box.LoadFromFile(path);
                EXPECT_GT(box.ImageWidth(), 0);
            } catch (const ImagingError&) {
                EXPECT_FALSE(box.HasImage());
            }
        }
    }
}

// A picture cut short still gives a thumbnail of what decodes, and the
// caller that asks learns it is damaged; sound pictures report nothing.
TEST(Decoding, ThumbnailOfAPictureCutShortReportsTheDamage) {
    TempDir dir;
    // Noise does not compress, so the cut falls in the picture data.
    const auto band = [] { return VImage::gaussnoise(640, 480).cast(VIPS_FORMAT_UCHAR); };
    const VImage noise = band().bandjoin(band()).bandjoin(band()).copy(
        VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    for (const std::string ext : {"jpg", "png"}) {
        SCOPED_TRACE(ext);
        const std::string sound = dir.str("sound." + ext);
        noise.write_to_file(sound.c_str());
        const std::string bytes = readBytes(sound);
        const std::string cut = dir.str("cut." + ext);
        writeBytes(cut, bytes.substr(0, bytes.size() * 6 / 10));

        std::string damage;
        const VImage thumb = CImageBox::Thumbnail(cut, 160, 120, kDefaultPixelLimit, &damage);
        EXPECT_EQ(thumb.width(), 160);
        EXPECT_FALSE(damage.empty());
        // Without asking, the picture reads leniently as before.
        EXPECT_EQ(CImageBox::Thumbnail(cut, 160, 120).width(), 160);

        std::string none;
        EXPECT_EQ(CImageBox::Thumbnail(sound, 160, 120, kDefaultPixelLimit, &none).width(), 160);
        EXPECT_EQ(none, "");
    }
}

// Batch workers each own a control and run at the same time.
// A name swapped back and forth between a picture and a FIFO while it is
// read: each read opens the name once and decodes the picture or refuses the
// FIFO at once, never waiting on it for a writer (a run stuck there ignores
// SIGINT and SIGTERM).
TEST(Decoding, ANameSwappedWithAFifoIsNeverWaitedOn) {
    testing::TempDir dir;
    const std::string picture = dir.str("picture.jpg");
    const std::string fifo = dir.str("fifo");
    const std::string name = dir.str("swapped.jpg");
    colorField(64, 48).jpegsave(picture.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const std::string staged = dir.str("staged");
        for (int i = 0; !stop; ++i) {
            ::unlink(staged.c_str());
            ::link((i % 2 ? fifo : picture).c_str(), staged.c_str());
            ::rename(staged.c_str(), name.c_str());
            // Each stays long enough for some reads to open it.
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    int decoded = 0;
    int refused = 0;
    auto reads = std::async(std::launch::async, [&] {
        for (int i = 0; i < 4000 && !stop && (decoded < 50 || refused < 50); ++i) {
            CImageBox control;
            try {
                control.LoadFromFile(name);
                ++decoded;
            } catch (const ImagingError&) {
                ++refused;
            }
        }
    });
    const bool ended = reads.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    stop = true;
    // A read that waits on the FIFO is given a writer, so the test ends.
    while (reads.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    swapper.join();
    EXPECT_TRUE(ended) << "a read waited on the FIFO";
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}

TEST(Decoding, ControlsWorkSideBySideOnThreads) {
    TempDir dir;
    // With EXIF (a JPEG by libvips always has it) and XMP: the ".tiff" workers
    // keep them (a palette would drop them) and take the TIFF metadata step,
    // with its XMP parser, side by side.
    const std::string source = dir.str("source.jpg");
    Bitmap field = colorField(120, 90).copy();
    const std::string xmp =
        R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
        R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description )"
        R"(rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Rating="3"/>)"
        R"(</rdf:RDF></x:xmpmeta>)";
    vips_image_set_blob_copy(field.get_image(), VIPS_META_XMP_NAME, xmp.data(), xmp.size());
    field.jpegsave(source.c_str());
    const std::vector<std::string> formats = {"bmp", "psd", "gif",  "pcx",
                                              "jpg", "tif", "tiff", "tiff"};
    std::vector<std::string> failures(formats.size());
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < formats.size(); ++w) {
        workers.emplace_back([&, w] {
            try {
                CImageBox box;
                for (int round = 0; round < 3; ++round) {
                    const std::string out = dir.str("out" + std::to_string(w) + "-" +
                                                    std::to_string(round) + "." + formats[w]);
                    box.LoadFromFile(source);
                    const bool keepsMetadata = formats[w] == "tiff";
                    if (!keepsMetadata) {
                        box.PutColorType(round == 1 ? ColorType::Palette16 : ColorType::Palette256);
                        box.PutColorType(ColorType::TrueColor24);
                    }
                    box.DrawTextAt(5, 5, "并行 " + std::to_string(w));
                    box.Resize(60, 45);
                    box.SaveToFile(out);
                    box.LoadFromFile(out);
                    if (box.ImageWidth() != 60 || box.ImageHeight() != 45)
                        failures[w] = out + " has the wrong size";
                    if (keepsMetadata && box.GetBitmap().get_typeof(VIPS_META_XMP_NAME) == 0)
                        failures[w] = out + " lost its XMP";
                }
            } catch (const std::exception& error) {
                failures[w] = error.what();
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    for (const std::string& failure : failures) EXPECT_EQ(failure, "");
}

// Each resize builds vector code and frees it when it ends: workers doing so
// at once must leave the heap whole (this aborted within a second).
TEST(Decoding, ResizesOnManyThreadsAtOnce) {
    std::vector<std::thread> workers;
    std::atomic<int> wrongSizes{0};
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            CImageBox box;
            const Bitmap field = colorField(97 + w, 61).copy_memory();
            for (int i = 0; i < 400; ++i) {
                box.PutBitmap(field);
                box.Resize(31 + i % 7, 19);
                if (box.GetBitmap().copy_memory().width() != 31 + i % 7) ++wrongSizes;
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(wrongSizes, 0);
    // Made safe, not slower: the vector code is still used.
    EXPECT_TRUE(vips_vector_isenabled());
}

}  // namespace
}  // namespace varnetto::testing
