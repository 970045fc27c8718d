#include "StoreBytes.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace varnetto;
using varnetto::testing::readBytes;
using varnetto::testing::RecordingReporter;
using varnetto::testing::StoreBytes;
using varnetto::testing::TempDir;
using varnetto::testing::writeBytes;

namespace fs = std::filesystem;

namespace {

const char* const kMissingOnLoad = "图像处理方案文件不存在，无法加载。";
const char* const kMissingOnSave = "图像处理方案文件不存在，无法保存。";

class SchemeStoreTest : public ::testing::Test {
  protected:
    SchemeStoreTest() { fs::create_directories(dir.path() / "Schemes"); }
    fs::path storeFile() const { return dir.path() / "Schemes" / "Schemes.bis"; }
    SchemeStore store() const { return SchemeStore(dir.str()); }

    TempDir dir;
    RecordingReporter reporter;
};

}  // namespace

TEST_F(SchemeStoreTest, PathIsUnderTheApplicationFolder) {
    EXPECT_EQ(store().path(), dir.str() + "/Schemes/Schemes.bis");
}

TEST_F(SchemeStoreTest, LoadAndSaveReproduceTheFileByteForByte) {
    const std::string gbk = "\xC9\xCF\xBA\xA3\xD2\xB9\xBE\xB0";  // 上海夜景
    StoreBytes file;
    file.header(-7, "\xB1\xEA\xCD\xB7").i32(5);  // header text 标头
    file.scheme(gbk, std::string(254, 'a'), 1)
        .scheme("dup", std::string(255, 'b'), 2)
        .scheme("dup", std::string(65533, 'c'), 3)
        .scheme("", std::string(65534, 'd'), 4)
        .scheme(gbk + gbk, std::string(70000, 'e'), 5);
    writeBytes(storeFile(), file.str());

    SchemeStore s = store();
    EXPECT_TRUE(s.load(reporter));
    EXPECT_TRUE(reporter.entries.empty());
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s.header().ints[0], -7);
    EXPECT_EQ(s.header().texts[0], "标头");
    EXPECT_EQ(s.at(0)->name, "上海夜景");
    EXPECT_EQ(s.at(4)->textContent.size(), 70000u);

    EXPECT_TRUE(s.save(reporter));
    EXPECT_EQ(readBytes(storeFile()), file.str());
    // Nothing but the store is left in its folder.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(dir.path() / "Schemes"), fs::directory_iterator()), 1);
}

TEST_F(SchemeStoreTest, FindByNameReturnsTheFirstExactMatch) {
    writeBytes(storeFile(), StoreBytes()
                                .header()
                                .i32(3)
                                .scheme("Web", "", 1)
                                .scheme("Web", "", 2)
                                .scheme("web", "", 3)
                                .str());
    SchemeStore s = store();
    s.load(reporter);
    ASSERT_NE(s.findByName("Web"), nullptr);
    EXPECT_EQ(s.findByName("Web")->renameStartNumber, 1);
    EXPECT_EQ(s.findByName("web")->renameStartNumber, 3);
    EXPECT_EQ(s.findByName("WEB"), nullptr);
    EXPECT_EQ(s.findByName("We"), nullptr);
    s.clear();
    EXPECT_EQ(s.findByName("Web"), nullptr);
}

TEST_F(SchemeStoreTest, EmptyFileLoadsAsEmptyStoreKeepingTheHeaderQuietly) {
    writeBytes(storeFile(), "");
    SchemeStore s = store();
    s.header().ints[2] = 42;
    s.append(Scheme{});
    EXPECT_FALSE(s.load(reporter));
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.header().ints[2], 42);
    EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(SchemeStoreTest, MissingFileIsReportedAndChangesNothing) {
    SchemeStore s = store();
    Scheme kept;
    kept.name = "kept";
    s.append(kept);
    EXPECT_FALSE(s.load(reporter));
    ASSERT_EQ(reporter.texts(), std::vector<std::string>{kMissingOnLoad});
    EXPECT_EQ(reporter.entries[0].kind, MessageKind::Stop);
    ASSERT_EQ(s.size(), 1u);

    EXPECT_FALSE(s.save(reporter));
    EXPECT_EQ(reporter.texts().back(), kMissingOnSave);
    EXPECT_FALSE(fs::exists(storeFile()));
}

TEST_F(SchemeStoreTest, DeletedStoreFailsEverySaveAndKeepsSchemesInMemory) {
    writeBytes(storeFile(), StoreBytes().header().i32(1).scheme("one").str());
    SchemeStore s = store();
    s.load(reporter);
    fs::remove(storeFile());
    EXPECT_FALSE(s.save(reporter));
    EXPECT_FALSE(s.save(reporter));
    EXPECT_EQ(reporter.texts(), (std::vector<std::string>{kMissingOnSave, kMissingOnSave}));
    EXPECT_EQ(s.size(), 1u);
    EXPECT_FALSE(fs::exists(storeFile()));
}

TEST_F(SchemeStoreTest, DamagedFileLoadsWhatWasReadAndSaysHowMuch) {
    const std::string full = StoreBytes().header().i32(3).scheme("a").scheme("b").scheme("c").str();
    writeBytes(storeFile(), full.substr(0, full.size() - 10));
    SchemeStore s = store();
    EXPECT_FALSE(s.load(reporter));
    EXPECT_EQ(s.size(), 2u);
    EXPECT_EQ(reporter.texts(),
              std::vector<std::string>{"图像处理方案文件已损坏，只加载了 2 个处理方案。"});

    reporter.entries.clear();
    writeBytes(storeFile(), full.substr(0, 20));
    EXPECT_FALSE(s.load(reporter));
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(reporter.texts(),
              std::vector<std::string>{"图像处理方案文件已损坏，只加载了 0 个处理方案。"});
}

TEST_F(SchemeStoreTest, SaveReplacesTheFileAndKeepsItsPermissions) {
    writeBytes(storeFile(), StoreBytes().header().i32(1).scheme("old").str());
    fs::permissions(storeFile(),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    SchemeStore s = store();
    s.load(reporter);
    s.at(0)->name = "新名字";
    Scheme added;
    added.name = "added";
    s.append(added);
    ASSERT_TRUE(s.save(reporter));

    SchemeStore again = store();
    ASSERT_TRUE(again.load(reporter));
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again.at(0)->name, "新名字");
    EXPECT_EQ(*again.at(1), added);
    EXPECT_EQ(fs::status(storeFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SchemeStoreTest, ListAccessByPosition) {
    SchemeStore s = store();
    for (const char* name : {"a", "b", "c"}) {
        Scheme scheme;
        scheme.name = name;
        s.append(scheme);
    }
    EXPECT_EQ(s.at(3), nullptr);
    EXPECT_FALSE(s.removeAt(3));
    EXPECT_TRUE(s.removeAt(1));
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s.at(1)->name, "c");
    std::string order;
    for (const Scheme& scheme : s) order += scheme.name;
    EXPECT_EQ(order, "ac");
    // A copy shares nothing with the stored record.
    Scheme copy = *s.at(0);
    copy.borderPieceFiles[0] = "changed";
    EXPECT_EQ(s.at(0)->borderPieceFiles[0], "");
}

TEST(SchemeKinds, OnlyKind999SelectsCustomFiles) {
    Scheme s;
    s.stampFile = "seal.bmp";
    s.stampPath = "/custom/seal.png";
    s.borderName = "Gold";
    s.borderPieceFiles[6] = "/custom/p7.bmp";
    for (const int kind : {0, 1, 998, 1000, -999}) {
        s.stampKind = s.borderKind = kind;
        EXPECT_EQ(stampPathOf(s, "/app"), "/app/Stamps/seal.bmp") << kind;
        EXPECT_EQ(borderPiecePathsOf(s, "/app")[6], "/app/Borders/Gold_7.bmp") << kind;
    }
    s.stampKind = s.borderKind = 999;
    EXPECT_EQ(stampPathOf(s, "/app"), "/custom/seal.png");
    EXPECT_EQ(borderPiecePathsOf(s, "/app")[6], "/custom/p7.bmp");
    EXPECT_EQ(borderPiecePathsOf(s, "/app")[0], "");
}

TEST(SchemeKinds, NamedStampsAndBordersComeFromTheUsersFolderFirst) {
    TempDir dir;
    const std::string user = dir.str("user"), app = dir.str("app");
    for (const std::string& folder : {user, app}) {
        fs::create_directories(folder + "/Stamps");
        fs::create_directories(folder + "/Borders");
    }
    writeBytes(user + "/Stamps/both.bmp", "u");
    writeBytes(app + "/Stamps/both.bmp", "a");
    writeBytes(app + "/Stamps/bundled.bmp", "a");
    // The user's Wood lacks pieces: it is not filled up from the bundled set.
    writeBytes(user + "/Borders/Wood_2.bmp", "u");
    for (int i = 1; i <= 8; ++i)
        writeBytes(app + "/Borders/Wood_" + std::to_string(i) + ".bmp", "a");
    writeBytes(app + "/Borders/Gold_1.bmp", "a");
    const AppFolders folders(app, user);
    Scheme s;
    // Missing everywhere: the user's folder is named, where they can add it.
    for (const auto& [file, expected] : {std::pair{"both.bmp", user + "/Stamps/both.bmp"},
                                         {"bundled.bmp", app + "/Stamps/bundled.bmp"},
                                         {"missing.bmp", user + "/Stamps/missing.bmp"}}) {
        s.stampFile = file;
        EXPECT_EQ(stampPathOf(s, folders), expected);
    }
    for (const auto& [set, expected] : {std::pair{"Wood", user + "/Borders/Wood_8.bmp"},
                                        {"Gold", app + "/Borders/Gold_8.bmp"},
                                        {"None", user + "/Borders/None_8.bmp"}}) {
        s.borderName = set;
        EXPECT_EQ(borderPiecePathsOf(s, folders)[7], expected);
    }
}

TEST_F(SchemeStoreTest, ReadOnlyStoreIsReportedAndLeftAlone) {
    const std::string bytes = StoreBytes().header().i32(1).scheme("kept").str();
    writeBytes(storeFile(), bytes);
    SchemeStore s = store();
    s.load(reporter);
    s.at(0)->name = "changed";
    fs::permissions(storeFile(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(s.save(reporter));
    EXPECT_EQ(reporter.texts(), std::vector<std::string>{"无法保存图像处理方案文件 " +
                                                         storeFile().string() + "：文件是只读的"});
    EXPECT_EQ(readBytes(storeFile()), bytes);
    EXPECT_EQ(s.at(0)->name, "changed");
}
