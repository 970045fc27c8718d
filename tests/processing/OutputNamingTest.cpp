#include "processing/OutputNaming.h"

#include <gtest/gtest.h>

namespace varnetto {
namespace {

Scheme schemeWithFolder(const std::string& folder) {
    Scheme s;
    s.outputFolder = folder;
    return s;
}

TEST(OutputPath, KeepsNameAndLowersExtension) {
    const Scheme s = schemeWithFolder("/out");
    EXPECT_EQ(outputPath(s, 1, "/photos/Trip.JPG"), "/out/Trip.jpg");
    EXPECT_EQ(outputPath(s, 7, "/photos/x.tar.gif"), "/out/x.tar.gif");
}

TEST(OutputPath, FormatConversionChoosesExtension) {
    Scheme s = schemeWithFolder("/out");
    s.convertEnabled = 1;
    s.formatConvertEnabled = 1;
    const char* expected[] = {"bmp", "gif", "jpg", "pcx",  "png", "wbmp",
                              "psd", "tif", "pdf", "webp", "avif"};
    for (int format = 0; format <= 10; ++format) {
        s.outputFormat = format;
        EXPECT_EQ(outputPath(s, 1, "/photos/Trip.JPG"),
                  std::string("/out/Trip.") + expected[format]);
    }
    // Either switch off: the source extension stays.
    s.outputFormat = stored(OutputFormat::Png);
    s.convertEnabled = 0;
    EXPECT_EQ(outputPath(s, 1, "/photos/Trip.JPG"), "/out/Trip.jpg");
    s.convertEnabled = 1;
    s.formatConvertEnabled = 0;
    EXPECT_EQ(outputPath(s, 1, "/photos/Trip.JPG"), "/out/Trip.jpg");
}

TEST(OutputPath, FormatOutsideTableKeepsSourceExtension) {
    Scheme s = schemeWithFolder("/out");
    s.convertEnabled = s.formatConvertEnabled = 1;
    // What an older version does with a newer store's WebP or AVIF scheme.
    for (int format : {-1, 11, 1000}) {
        s.outputFormat = format;
        EXPECT_EQ(outputPath(s, 1, "/photos/Trip.PNG"), "/out/Trip.png") << format;
    }
}

TEST(OutputPath, RenameNumbersFromStart) {
    Scheme s = schemeWithFolder("/out");
    s.namingMode = stored(NamingMode::Rename);
    s.renamePrefix = "Img";
    s.renameStartNumber = 10;
    EXPECT_EQ(outputPath(s, 3, "/photos/Trip.JPG"), "/out/Img_12.jpg");
    s.renamePrefix.clear();
    EXPECT_EQ(outputPath(s, 3, "/photos/Trip.JPG"), "/out/_12.jpg");
    s.renameStartNumber = -5;
    EXPECT_EQ(outputPath(s, 1, "/photos/Trip.JPG"), "/out/_-5.jpg");
    s.renameStartNumber = 2147483647;
    EXPECT_EQ(outputPath(s, 2, "/photos/Trip.JPG"), "/out/_2147483648.jpg");
}

TEST(OutputPath, SameNameForSourcesDifferingOnlyInExtension) {
    Scheme s = schemeWithFolder("/out");
    s.convertEnabled = s.formatConvertEnabled = 1;
    s.outputFormat = stored(OutputFormat::Jpeg);
    EXPECT_EQ(outputPath(s, 1, "/in/a.jpg"), outputPath(s, 2, "/in/a.bmp"));
}

TEST(OutputPath, UnknownModeOrNoFolderGivesNothing) {
    Scheme s = schemeWithFolder("/out");
    EXPECT_EQ(outputPath(s, 1, "Trip.jpg"), "");
    s.namingMode = 2;
    EXPECT_EQ(outputPath(s, 1, "/photos/Trip.jpg"), "");
    s.namingMode = -1;
    EXPECT_EQ(outputPath(s, 1, "/photos/Trip.jpg"), "");
}

TEST(OutputPath, DotsInFoldersAreNotExtensions) {
    const Scheme s = schemeWithFolder("/out");
    EXPECT_EQ(outputPath(s, 1, "/photos.2024/README"), "/out/README");
    EXPECT_EQ(outputPath(s, 1, "/photos.2024/a.Png"), "/out/a.png");
}

TEST(CheckOutputPath, AcceptsNamesInsideTheFolder) {
    Scheme s = schemeWithFolder("/out");
    EXPECT_EQ(checkOutputPath(s, outputPath(s, 1, "/in/a.jpg")), "");
    s.namingMode = stored(NamingMode::Rename);
    s.renamePrefix = "..";  // ".._1.jpg" is a plain name inside the folder
    EXPECT_EQ(checkOutputPath(s, outputPath(s, 1, "/in/a.jpg")), "");
}

TEST(CheckOutputPath, RefusesNamesLeavingTheFolder) {
    Scheme s = schemeWithFolder("/out");
    s.namingMode = stored(NamingMode::Rename);
    s.renamePrefix = "../escape";
    const std::string refused = checkOutputPath(s, outputPath(s, 1, "/in/a.jpg"));
    EXPECT_NE(refused.find("../escape"), std::string::npos) << refused;

    s.namingMode = stored(NamingMode::KeepName);
    EXPECT_NE(checkOutputPath(s, "/out/.."), "");
    EXPECT_NE(checkOutputPath(s, "/elsewhere/a.jpg"), "");
    EXPECT_NE(checkOutputPath(s, "/out/sub/a.jpg"), "");
    EXPECT_NE(checkOutputPath(s, ""), "");
    EXPECT_NE(checkOutputPath(schemeWithFolder(""), "/a.jpg"), "");
}

}  // namespace
}  // namespace varnetto
