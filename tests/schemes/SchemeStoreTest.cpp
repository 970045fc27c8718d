#include "StoreBytes.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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

// A store written elsewhere may hold bytes this program would never write:
// GBK's one-byte euro sign, bytes that are no GB18030 at all, a length
// written in its long form. Texts that were not edited keep their bytes.
TEST_F(SchemeStoreTest, LoadAndSaveKeepBytesThatAreNoValidText) {
    const std::string odd = std::string("\xFF\x03\x00", 3) + "Web";  // 3 in the long form
    StoreBytes file;
    file.header(2000, "\x80\x81").i32(3);
    file.scheme("\x80 2024", "\xA2\xE3", 1, std::string("\x01\xFE\xFF\x80\x00z", 6))
        .scheme("plain", "\x81\x30", 2, "\xC8\xFD")
        .bytes(odd);
    const std::string tail = StoreBytes().scheme("", "", 3).str();
    file.bytes(tail.substr(1));  // the third record, its name being the long-form "Web"
    writeBytes(storeFile(), file.str());

    SchemeStore s = store();
    ASSERT_TRUE(s.load(reporter)) << ::testing::PrintToString(reporter.texts());
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s.at(0)->name, "€ 2024");
    EXPECT_EQ(s.at(0)->textContent, "€");
    EXPECT_EQ(s.at(2)->name, "Web");
    ASSERT_TRUE(s.save(reporter));
    EXPECT_EQ(readBytes(storeFile()), file.str());

    // An edited text is written in this program's own encoding; the others
    // keep their bytes.
    s.at(0)->name = "€ 2025";
    ASSERT_TRUE(s.save(reporter));
    StoreBytes edited;
    edited.header(2000, "\x80\x81").i32(3);
    edited.scheme("\xA2\xE3 2025", "\xA2\xE3", 1, std::string("\x01\xFE\xFF\x80\x00z", 6))
        .scheme("plain", "\x81\x30", 2, "\xC8\xFD")
        .bytes(odd)
        .bytes(tail.substr(1));
    EXPECT_EQ(readBytes(storeFile()), edited.str());
}

// Schemes after the announced count, or anything after the last scheme, are
// damage: the schemes read stay loaded and the user is told.
TEST_F(SchemeStoreTest, BytesAfterTheLastSchemeAreDamage) {
    const std::string two = StoreBytes().header().i32(2).scheme("a").scheme("b").str();
    const std::string threeAnnouncedTwo =
        StoreBytes().header().i32(2).scheme("a").scheme("b").scheme("c").str();
    for (const std::string& bytes :
         {threeAnnouncedTwo, two + std::string(5000, '\x5A'), two + std::string(1, '\0')}) {
        writeBytes(storeFile(), bytes);
        SchemeStore s = store();
        reporter.entries.clear();
        EXPECT_FALSE(s.load(reporter));
        EXPECT_EQ(s.size(), 2u);
        EXPECT_EQ(reporter.texts(),
                  std::vector<std::string>{"图像处理方案文件已损坏，只加载了 2 个处理方案。"});
    }
    writeBytes(storeFile(), two);
    reporter.entries.clear();
    SchemeStore s = store();
    EXPECT_TRUE(s.load(reporter));
    EXPECT_TRUE(reporter.entries.empty());
}

// Only a regular file of sane size is read: a FIFO would wait for a writer
// forever, a device or a giant file would fill the memory.
TEST_F(SchemeStoreTest, OnlyARegularFileOfSaneSizeIsRead) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "不是普通文件"},
        {"device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }, "不是普通文件"},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, "不是普通文件"},
        {"giant",
         [](const fs::path& p) {
             writeBytes(p, StoreBytes().header().i32(1).scheme("a").str());
             fs::resize_file(p, 300u << 20);  // sparse: takes no room
         },
         "太大"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(storeFile());
        c.make(storeFile());
        SchemeStore s = store();
        Scheme kept;
        kept.name = "kept";
        s.append(kept);
        reporter.entries.clear();
        bool loaded = true;
        ASSERT_TRUE(varnetto::testing::endsWithin(std::chrono::seconds(20), storeFile().string(),
                                                  [&] { loaded = s.load(reporter); }));
        EXPECT_FALSE(loaded);
        ASSERT_EQ(reporter.texts().size(), 1u);
        EXPECT_NE(reporter.texts()[0].find(storeFile().string()), std::string::npos)
            << reporter.texts()[0];
        EXPECT_NE(reporter.texts()[0].find(c.says), std::string::npos) << reporter.texts()[0];
        EXPECT_EQ(s.size(), 1u) << "the store in memory is left as it was";
    }
}

// The window saves through the same rules as the command-line import: a
// linked store is written where the link leads.
TEST_F(SchemeStoreTest, SavingALinkedStoreWritesItsTarget) {
    const fs::path real = dir.path() / "real.bis";
    writeBytes(real, StoreBytes().header().i32(1).scheme("old").str());
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, storeFile());
    SchemeStore s = store();
    ASSERT_TRUE(s.load(reporter));
    s.at(0)->name = "new";
    ASSERT_TRUE(s.save(reporter));
    EXPECT_TRUE(fs::is_symlink(storeFile()));
    EXPECT_EQ(readBytes(real), StoreBytes().header().i32(1).scheme("new").str());
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}
