#include "common/ImageFormats.h"
#include "common/PendingFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

namespace varnetto {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at - from));
        if (at == std::string::npos) return parts;
        from = at + separator.size();
    }
}

// The folder scans look for every suffix the dialog offers, row by row, and
// users know them in this order.
TEST(ImageFormats, FolderPatternsAreTheOfferedSuffixesInTableOrder) {
    std::vector<std::string> walked;
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes)
            if (suffix.entry != OpenFileEntry::NotOffered)
                walked.push_back("*." + std::string(suffix.text));
    EXPECT_EQ(std::vector<std::string>(inputPatterns.begin(), inputPatterns.end()), walked);
    EXPECT_EQ(walked, (std::vector<std::string>{
                          "*.bmp",  "*.gif", "*.jpg", "*.jpeg", "*.png",  "*.wbmp", "*.wbm",
                          "*.pcx",  "*.psd", "*.tif", "*.tiff", "*.webp", "*.heic", "*.heif",
                          "*.avif", "*.jxl", "*.dng", "*.cr2",  "*.cr3",  "*.nef",  "*.nrw",
                          "*.arw",  "*.raf", "*.orf", "*.rw2",  "*.pef",  "*.srw"}));
}

// Every entry filters by the patterns of its rows, each pattern in exactly
// one entry; the texts are the ones the dialog has always shown.
TEST(ImageFormats, OpenFileFilterOffersEveryPatternOnceUnderItsEntry) {
    const std::string filter = openFileFilterText();
    EXPECT_EQ(filter,
              "JPEG 格式(*.jpg; *jpeg) (*.jpg *.jpeg);;"
              "位图文件(*.bmp; *.wbmp) (*.bmp *.wbmp);;"
              "\t\t图形转换格式(*.gif) (*.gif);;"
              "\t\tPNG 格式(*.png) (*.png);;"
              "WBM 格式(*.wbm) (*.wbm);;"
              "PCX 格式(*.pcx) (*.pcx);;"
              "\t\tPhotoshop 格式(*.psd) (*.psd);;"
              "TIFF 格式(*.tif; *.tiff) (*.tif *.tiff);;"
              "WebP、HEIF、AVIF、JPEG XL 格式(*.webp; *.heic; *.heif; *.avif; *.jxl) "
              "(*.webp *.heic *.heif *.avif *.jxl);;"
              "相机 RAW 格式(*.dng; *.cr2; *.cr3; *.nef; *.nrw; *.arw; *.raf; *.orf; *.rw2; *.pef; "
              "*.srw) (*.dng *.cr2 *.cr3 *.nef *.nrw *.arw *.raf *.orf *.rw2 *.pef *.srw);;"
              "所有文件(*.*) (*)");

    const std::vector<std::string> entries = split(filter, ";;");
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(OpenFileEntry::NotOffered) + 1);
    EXPECT_EQ(entries.back(), "所有文件(*.*) (*)");
    std::map<std::string, int> offered;
    for (std::size_t entry = 0; entry + 1 < entries.size(); ++entry) {
        const std::string& text = entries[entry];
        const std::size_t open = text.rfind(" (");
        ASSERT_NE(open, std::string::npos) << text;
        const std::string patterns = text.substr(open + 2, text.size() - open - 3);
        for (const std::string& pattern : split(patterns, " ")) {
            ++offered[pattern];
            const ImageFormat* format = formatForSuffix(std::string_view(pattern).substr(2));
            ASSERT_NE(format, nullptr) << pattern;
            const auto suffix = std::find_if(
                format->suffixes.begin(), format->suffixes.end(),
                [&](const FormatSuffix& s) { return "*." + std::string(s.text) == pattern; });
            EXPECT_EQ(static_cast<std::size_t>(suffix->entry), entry) << pattern;
        }
    }
    for (std::string_view pattern : inputPatterns)
        EXPECT_EQ(offered[std::string(pattern)], 1) << pattern;
    EXPECT_EQ(offered.size(), inputPatterns.size());
}

// A format is found by any of its suffixes in any letter case, and a format
// that is read is offered under at least one of them.
TEST(ImageFormats, EverySuffixLeadsToItsRow) {
    for (const ImageFormat& format : imageFormats) {
        SCOPED_TRACE(format.label);
        bool offered = false;
        for (const FormatSuffix& suffix : format.suffixes) {
            EXPECT_EQ(formatForSuffix(suffix.text), &format) << suffix.text;
            EXPECT_EQ(formatForSuffix(upper(suffix.text)), &format) << suffix.text;
            offered = offered || suffix.entry != OpenFileEntry::NotOffered;
        }
        EXPECT_EQ(offered, format.loader != Codec::None);
        if (format.output) {
            EXPECT_EQ(formatForOutput(static_cast<std::int32_t>(*format.output)), &format);
        }
    }
    for (const char* unknown : {"", "txt", "jp", "jpgx", ".jpg"})
        EXPECT_EQ(formatForSuffix(unknown), nullptr) << unknown;
    EXPECT_EQ(formatForOutput(-1), nullptr);
    EXPECT_EQ(formatForOutput(static_cast<std::int32_t>(outputFormatCount)), nullptr);
}

// Earlier versions named their temporary files ".~" + stem + "." + process id
// + "-" + counter + the output's suffix; a killed run's leftovers of any
// format the program writes must never be listed as pictures.
TEST(ImageFormats, EarlierTemporariesOfEveryWrittenSuffixAreRecognised) {
    for (const ImageFormat& format : imageFormats)
        for (const FormatSuffix& suffix : format.suffixes) {
            const std::string name = ".~photo.4242-7." + std::string(suffix.text);
            EXPECT_EQ(isPendingFileName(name), format.saver != Codec::None) << name;
            EXPECT_EQ(isPendingFileName(".~photo.4242-7." + upper(suffix.text)),
                      format.saver != Codec::None)
                << name;
        }
    EXPECT_TRUE(isPendingFileName(".~Schemes.4242-7.bis"));
    EXPECT_FALSE(isPendingFileName(".~notes.4242-7.txt"));
    EXPECT_FALSE(isPendingFileName(".~lock.plan.2023-1.odt#"));
}

}  // namespace
}  // namespace varnetto
