#include "PixelSupport.h"
#include "common/ImageFormats.h"
#include "common/OutputChoices.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

// What a written picture keeps of its source, judged by libvips, ImageMagick
// and exiftool reading the files back: resolution, colour profile or
// colours converted through it, metadata, encoder settings and warnings.

namespace varnetto {
namespace {

using testing::RecordingReporter;
using testing::TempDir;
namespace fs = std::filesystem;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Saturated colours, where colour spaces differ most.
Bitmap gradient() {
    const Bitmap xy = Bitmap::xyz(kWidth, kHeight);
    const Bitmap red = xy.extract_band(0) * (255.0 / (kWidth - 1));
    const Bitmap green = xy.extract_band(1) * (255.0 / (kHeight - 1));
    const Bitmap blue = red * -1 + 255;
    return Bitmap::bandjoin({red, green, blue})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

Bitmap atDpi(const Bitmap& image, double dpi) {
    return image.copy(Bitmap::option()->set("xres", dpi / 25.4)->set("yres", dpi / 25.4));
}

std::string command(const std::string& line) {
    return testing::commandOutput(line);
}

// What a phone writes about where and with what the picture was taken.
void addPersonalMetadata(const std::string& path) {
    command(
        "exiftool -q -overwrite_original -GPSLatitude=48.85 -GPSLatitudeRef=N "
        "-GPSLongitude=2.35 -GPSLongitudeRef=E -Make=Phone -SerialNumber=SN123 "
        "-OwnerName=Alice -XMP-photoshop:City=Paris -XMP-dc:Subject=cat -IPTC:City=Paris "
        "-IPTC:Keywords=cat '" +
        path + "'");
}

std::string profileOf(const Bitmap& image) {
    if (image.get_typeof("icc-profile-data") == 0) return {};
    std::size_t length = 0;
    const auto* data = static_cast<const char*>(image.get_blob("icc-profile-data", &length));
    return std::string(data, length);
}

Bitmap readBack(const std::string& path) {
    const std::string ext = fs::path(path).extension().string();
    for (const char* magick : {"BMP", "PCX", "PSD", "WBMP"}) {
        std::string lower = magick;
        for (char& c : lower) c = static_cast<char>(std::tolower(c));
        if (ext == "." + lower)
            return Bitmap::magickload((std::string(magick) + ":" + path).c_str());
    }
    return Bitmap::new_from_file(path.c_str());
}

Bitmap lab(const Bitmap& image) {
    Bitmap rgb = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (rgb.bands() > 3) rgb = rgb.extract_band(0, Bitmap::option()->set("n", 3));
    return rgb.colourspace(VIPS_INTERPRETATION_LAB);
}

// libvips' own conversion to sRGB, through the picture's profile.
Bitmap managedSrgb(const Bitmap& image) {
    return image.icc_transform("srgb", Bitmap::option()
                                           ->set("embedded", true)
                                           ->set("intent", VIPS_INTENT_RELATIVE)
                                           ->set("black_point_compensation", true));
}

struct Source {
    std::string file;
    double dpi;           // what outputs must state
    bool foreignProfile;  // colours are not sRGB's
    bool keepsProfile;    // the profile reaches outputs that carry one
};

enum class Case { Plain, Decorated, Colours256, ToSrgb };

class OutputFidelity : public ::testing::Test {
  protected:
    void SetUp() override {
        vips_cache_set_max(0);
        fs::create_directories(dir.path() / "Borders");
        fs::create_directories(dir.path() / "Stamps");
        for (int i = 1; i <= 8; ++i)
            testing::writeBmp(testing::solid(6, 6, {90, 60, 30}),
                              dir.str("Borders/frame_" + std::to_string(i) + ".bmp"));
        testing::writeBmp(testing::solid(10, 10, {200, 0, 0}), dir.str("Stamps/seal.bmp"));
        const Bitmap picture = gradient();

        const std::string srgb = dir.str("srgb.jpg");
        atDpi(picture, 300).jpegsave(srgb.c_str(), Bitmap::option()->set("Q", 95));
        addPersonalMetadata(srgb);
        const std::string p3 = dir.str("p3.jpg");
        atDpi(picture.icc_transform("p3"), 240)
            .jpegsave(p3.c_str(), Bitmap::option()->set("Q", 95));
        const std::string cmyk = dir.str("cmyk.jpg");
        atDpi(picture.icc_transform("cmyk"), 150)
            .jpegsave(cmyk.c_str(), Bitmap::option()->set("Q", 95));
        const std::string deep = dir.str("deep.png");
        (picture.cast(VIPS_FORMAT_USHORT) * 257)
            .cast(VIPS_FORMAT_USHORT)
            .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_RGB16))
            .pngsave(deep.c_str(), Bitmap::option()->set("bitdepth", 16));
        // As a phone writes it: a wide-gamut profile, EXIF with the place.
        const std::string phone = dir.str("phone.heic");
        const std::string tagged = dir.str("tagged.jpg");
        picture.icc_transform("p3").jpegsave(tagged.c_str());
        addPersonalMetadata(tagged);
        Bitmap::new_from_file(tagged.c_str()).heifsave(phone.c_str());
        sources = {{srgb, 300, false, false},
                   {p3, 240, true, true},
                   {cmyk, 150, true, false},
                   {deep, 72, false, false},
                   {phone, 72, true, true}};
    }

    Scheme schemeFor(Case c, std::int32_t format, const std::string& folder) const {
        Scheme s;
        s.outputFolder = folder;
        s.convertEnabled = s.formatConvertEnabled = 1;
        s.outputFormat = format;
        if (c == Case::Decorated) {
            s.borderEnabled = s.stampEnabled = s.textEnabled = 1;
            s.borderName = "frame";
            s.stampName = "seal";
            s.stampFile = "seal.bmp";
            s.textContent = "Ab";
        }
        if (c == Case::Colours256) {
            s.colorConvertEnabled = 1;
            s.colorType = stored(ColorType::Palette256);
        }
        if (c == Case::ToSrgb) s.reservedInts[0] = stored(ColorHandling::ConvertToSrgb);
        return s;
    }

    std::string run(const std::string& source, const Scheme& scheme) {
        fs::create_directories(scheme.outputFolder);
        const ProcessResult r = processFile(control, source, 1, scheme, true, dir.str(), reporter);
        EXPECT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.warning, "");
        return r.outputPath;
    }

    TempDir dir;
    CImageBox control;
    RecordingReporter reporter;
    std::vector<Source> sources;
};

TEST_F(OutputFidelity, ResolutionAndColoursSurviveEveryFormatAndStep) {
    int folder = 0;
    for (const Source& source : sources) {
        // The reference: libvips' conversion of the source, then the same
        // steps, written the same way.
        const std::string reference = dir.str("reference.png");
        const Bitmap decoded = Bitmap::new_from_file(source.file.c_str());
        atDpi(source.foreignProfile ? managedSrgb(decoded)
                                    : decoded.colourspace(VIPS_INTERPRETATION_sRGB),
              source.dpi)
            .cast(VIPS_FORMAT_UCHAR)
            .pngsave(reference.c_str(), Bitmap::option()->set("strip", true));
        for (const ImageFormat& format : imageFormats) {
            if (!format.output) continue;
            for (const Case c : {Case::Plain, Case::Decorated, Case::Colours256, Case::ToSrgb}) {
                // Without a profile in the file, sRGB is what every choice gives.
                if (c == Case::ToSrgb && !format.carries.iccProfile) continue;
                SCOPED_TRACE(source.file + " → " + std::string(format.label) + " case " +
                             std::to_string(static_cast<int>(c)));
                const std::string there = dir.str("out" + std::to_string(++folder));
                const std::string output =
                    run(source.file, schemeFor(c, stored(*format.output), there));
                if (format.kind == FileKind::Pdf) {
                    // One page of the picture's size at its resolution.
                    std::smatch box;
                    const std::string text = testing::readBytes(output);
                    ASSERT_TRUE(
                        std::regex_search(text, box, std::regex("/MediaBox \\[ 0 0 ([0-9.]+)")));
                    const std::string png =
                        run(source.file, schemeFor(c, stored(OutputFormat::Png),
                                                   dir.str("png" + std::to_string(folder))));
                    const int width = readBack(png).width();
                    EXPECT_NEAR(std::stod(box[1]), width * 72.0 / source.dpi, 0.5);
                    continue;
                }
                const Bitmap out = readBack(output);
                if (format.carries.resolution) {
                    // libvips reads no EXIF resolution from WebP and HEIF.
                    const bool inExif =
                        format.kind == FileKind::WebP || format.kind == FileKind::Avif;
                    const double dpi =
                        inExif
                            ? std::stod("0" + command("exiftool -s3 -XResolution '" + output + "'"))
                            : out.xres() * 25.4;
                    EXPECT_NEAR(dpi, source.dpi, 0.6);
                }

                const bool kept = source.keepsProfile && format.carries.iccProfile &&
                                  (c == Case::Plain || c == Case::Decorated);
                if (kept) {
                    EXPECT_EQ(profileOf(out), profileOf(decoded));
                } else if (source.foreignProfile) {
                    const std::string expected =
                        run(reference, schemeFor(c, stored(*format.output),
                                                 dir.str("ref" + std::to_string(folder))));
                    const double error = lab(out).dE00(lab(readBack(expected))).avg();
                    EXPECT_LT(error, 1.0);
                }
                if (c == Case::ToSrgb && format.carries.iccProfile) {
                    EXPECT_NE(profileOf(out).find("sRGB"), std::string::npos);
                }
            }
        }
    }
}

// Read back with exiftool, whichever library wrote the file.
TEST_F(OutputFidelity, MetadataFollowsTheSchemesChoice) {
    int folder = 0;
    for (const OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::WebP,
                                      OutputFormat::Avif, OutputFormat::Tiff}) {
        for (const Source& source : {sources[0], sources[4]}) {
            const std::vector<std::string> personal{"GPSLatitude", "SerialNumber", "OwnerName",
                                                    "City"};
            // IPTC travels from JPEG into JPEG and TIFF.
            const bool iptc = source.file.ends_with(".jpg") &&
                              (format == OutputFormat::Jpeg || format == OutputFormat::Tiff);
            for (const MetadataHandling handling :
                 {MetadataHandling::KeepAll, MetadataHandling::RemovePersonal,
                  MetadataHandling::RemoveAll}) {
                Scheme s = schemeFor(Case::Plain, stored(format),
                                     dir.str("meta" + std::to_string(++folder)));
                s.reservedInts[1] = stored(handling);
                const std::string output = run(source.file, s);
                SCOPED_TRACE(output + " metadata " + std::to_string(stored(handling)));
                const std::string tags = command("exiftool -s -G1 '" + output + "'");
                for (const std::string& tag : personal)
                    EXPECT_EQ(tags.find(tag) != std::string::npos,
                              handling == MetadataHandling::KeepAll)
                        << tag;
                EXPECT_EQ(tags.find("Make") != std::string::npos,
                          handling != MetadataHandling::RemoveAll);
                if (iptc) {
                    EXPECT_EQ(tags.find("[IPTC]          Keywords") != std::string::npos,
                              handling != MetadataHandling::RemoveAll);
                }
                // The profile stays whatever the choice.
                if (source.keepsProfile) {
                    EXPECT_NE(tags.find("ProfileDescription"), std::string::npos);
                }
            }
        }
    }
    // A TIFF's IPTC is bare datasets; a JPEG holds them in Photoshop's block.
    const std::string tiff = dir.str("iptc.tif");
    gradient().tiffsave(tiff.c_str());
    command("exiftool -q -overwrite_original -IPTC:Keywords=cat -IPTC:City=Paris '" + tiff + "'");
    for (const MetadataHandling handling :
         {MetadataHandling::KeepAll, MetadataHandling::RemovePersonal}) {
        Scheme s = schemeFor(Case::Plain, stored(OutputFormat::Jpeg),
                             dir.str("iptc" + std::to_string(stored(handling))));
        s.reservedInts[1] = stored(handling);
        const std::string tags = command("exiftool -s -G1 '" + run(tiff, s) + "'");
        EXPECT_NE(tags.find("[IPTC]          Keywords"), std::string::npos) << tags;
        EXPECT_EQ(tags.find("[IPTC]          City") != std::string::npos,
                  handling == MetadataHandling::KeepAll);
        EXPECT_EQ(tags.find("Warning"), std::string::npos) << tags;
    }
}

TEST_F(OutputFidelity, EncoderSettingsApplyWithoutResizing) {
    struct Setting {
        OutputFormat format;
        void (*low)(Scheme&);
        void (*high)(Scheme&);
    };
    const Setting settings[] = {
        {OutputFormat::Jpeg, [](Scheme& s) { s.jpegQuality = 30; },
         [](Scheme& s) { s.jpegQuality = 95; }},
        {OutputFormat::WebP, [](Scheme& s) { s.jpegQuality = 30; },
         [](Scheme& s) { s.jpegQuality = 95; }},
        {OutputFormat::Tiff, [](Scheme& s) { s.tiffCompression = stored(TiffCompression::None); },
         [](Scheme& s) { s.tiffCompression = stored(TiffCompression::PackBits); }},
    };
    int folder = 0;
    for (const Setting& setting : settings) {
        Scheme low = schemeFor(Case::Plain, stored(setting.format),
                               dir.str("low" + std::to_string(++folder)));
        Scheme high = low;
        high.outputFolder = dir.str("high" + std::to_string(folder));
        setting.low(low);
        setting.high(high);
        ASSERT_EQ(low.resizeEnabled, 0);
        const std::string lowFile = testing::readBytes(run(sources[0].file, low));
        const std::string highFile = testing::readBytes(run(sources[0].file, high));
        EXPECT_NE(lowFile.size(), highFile.size()) << stored(setting.format);
    }
}

// Phone and web formats as libvips writes them decode without a word; the
// same files cut short do not.
TEST_F(OutputFidelity, SoundFilesGiveNoWarningAndCutOnesDo) {
    const Bitmap picture = gradient().icc_transform("p3");
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> writers{
        {"heic", [&](const std::string& p) { picture.heifsave(p.c_str()); }},
        {"avif",
         [&](const std::string& p) {
             picture.heifsave(p.c_str(), Bitmap::option()->set("compression",
                                                               VIPS_FOREIGN_HEIF_COMPRESSION_AV1));
         }},
        {"webp", [&](const std::string& p) { picture.webpsave(p.c_str()); }},
        {"jxl", [&](const std::string& p) { picture.jxlsave(p.c_str()); }},
    };
    int folder = 0;
    for (const auto& [extension, write] : writers) {
        SCOPED_TRACE(extension);
        const std::string sound = dir.str("sound." + extension);
        write(sound);
        const Scheme s = schemeFor(Case::Plain, stored(OutputFormat::Png),
                                   dir.str("w" + std::to_string(++folder)));
        fs::create_directories(s.outputFolder);
        ProcessResult r = processFile(control, sound, 1, s, true, dir.str(), reporter);
        EXPECT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.warning, "");

        const std::string cut = dir.str("cut." + extension);
        const std::string bytes = testing::readBytes(sound);
        testing::writeBytes(cut, bytes.substr(0, bytes.size() * 3 / 4));
        r = processFile(control, cut, 1, s, true, dir.str(), reporter);
        EXPECT_FALSE(r.ok() && r.warning.empty());
    }
}

}  // namespace
}  // namespace varnetto
