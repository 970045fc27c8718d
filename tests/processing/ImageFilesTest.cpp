#include "processing/ImageFiles.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto {
namespace {

using testing::TempDir;
using testing::writeBytes;

TEST(ImageFiles, AcceptsEveryPatternInAnyCase) {
    for (const char* name :
         {"a.bmp", "a.GIF", "a.jpg", "a.JpEg", "a.png", "a.wbmp", "a.wbm", "a.pcx", "a.psd",
          "a.tif", "a.TIFF", "a.webp", "a.HEIC", "a.heif", "a.avif", "a.jxl"})
        EXPECT_TRUE(isAcceptedImageName(name)) << name;
    for (const char* name : {"a.txt", "a.jpgx", "jpg", ".jpg", "a.tiff.bak", "a"})
        EXPECT_FALSE(isAcceptedImageName(name)) << name;
}

TEST(ImageFiles, ListsPatternByPatternWithoutSubfolders) {
    TempDir dir;
    for (const char* name : {"z.jpg", "b.TIF", "a.tiff", "c.png", "a.jpg", "m.bmp", "notes.txt",
                             "q.jpeg", "w.wbm", "v.wbmp", "p.jxl", "p.heic", "p.webp"})
        writeBytes(dir.path() / name, "x");
    std::filesystem::create_directory(dir.path() / "sub.jpg");
    writeBytes(dir.path() / "sub.jpg" / "inner.jpg", "x");

    const std::string d = dir.str();
    const std::vector<std::string> expected{d + "/m.bmp", d + "/a.jpg", d + "/z.jpg", d + "/q.jpeg",
                                            d + "/c.png", d + "/v.wbmp", d + "/w.wbm", d + "/b.TIF",
                                            d + "/a.tiff",
                                            // the phone and web formats come last
                                            d + "/p.webp", d + "/p.heic", d + "/p.jxl"};
    EXPECT_EQ(listFolderImages(d), expected);
    EXPECT_EQ(listFolderImages(d + "/"), expected);
}

}  // namespace
}  // namespace varnetto
