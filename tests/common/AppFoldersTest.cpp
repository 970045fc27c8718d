#include "common/AppFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace varnetto {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::RecordingReporter;
using testing::TempDir;
using testing::writeBytes;

TEST(AppFolders, TheUsersFolderFollowsTheBaseDirectoryRules) {
    const struct {
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/data", "/home/ann", "/data/varnetto"},
        {"", "/home/ann", "/home/ann/.local/share/varnetto"},
        {"relative/data", "/home/ann", "/home/ann/.local/share/varnetto"},
        {"", "", ""},
        {"", "relative", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userDataFolder({c.xdg, c.home}), c.expected) << c.xdg << " " << c.home;
    }
}

TEST(AppFolders, OnlyAnUnwritableStoreMovesToTheUsersFolder) {
    const UserEnvironment ann{"", "/home/ann"};
    const struct {
        bool writable;
        UserEnvironment environment;
        std::string store;
        std::vector<std::string> lookup;
    } cases[] = {
        {true, ann, "/opt/v/Schemes/Schemes.bis", {"/opt/v"}},
        {false,
         ann,
         "/home/ann/.local/share/varnetto/Schemes/Schemes.bis",
         {"/home/ann/.local/share/varnetto", "/opt/v"}},
        // Nowhere else to go: the bundled store, read-only.
        {false, {"", ""}, "/opt/v/Schemes/Schemes.bis", {"/opt/v"}},
    };
    for (const auto& c : cases) {
        const AppFolders folders = resolveAppFolders("/opt/v", c.writable, c.environment);
        EXPECT_EQ(folders.storePath(), c.store);
        EXPECT_EQ(folders.lookupOrder(), c.lookup);
    }
}

TEST(AppFolders, StoreIsWritableFollowsTheSchemesFolder) {
    TempDir dir;
    EXPECT_TRUE(storeIsWritable(dir.str()));
    EXPECT_FALSE(storeIsWritable(dir.str("missing")));
    if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere; the install test covers users";
    fs::create_directories(dir.path() / "Schemes");
    fs::permissions(dir.path() / "Schemes", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(storeIsWritable(dir.str()));
    fs::permissions(dir.path() / "Schemes", fs::perms::owner_all);
}

class UserStoreTest : public ::testing::Test {
  protected:
    UserStoreTest() {
        fs::create_directories(dir.path() / "app" / "Schemes");
        writeBytes(bundled(), "bundled store");
    }
    fs::path bundled() const { return dir.path() / "app" / "Schemes" / "Schemes.bis"; }
    AppFolders folders() const { return {dir.str("app"), dir.str("user")}; }
    fs::path userStore() const { return folders().storePath(); }

    TempDir dir;
    RecordingReporter reporter;
};

TEST_F(UserStoreTest, IsCopiedOnceAndThenKeptWhateverItHolds) {
    EXPECT_TRUE(prepareUserStore(folders(), reporter));
    EXPECT_EQ(readBytes(userStore()), "bundled store");
    EXPECT_TRUE(fs::is_directory(dir.path() / "user" / "Borders"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "user" / "Stamps"));
    // The user's edits, even an empty or damaged store, are never replaced.
    writeBytes(bundled(), "a newer bundled store");
    for (const std::string mine : {"edited store", "", "\xFF\xFF damaged"}) {
        writeBytes(userStore(), mine);
        EXPECT_TRUE(prepareUserStore(folders(), reporter));
        EXPECT_EQ(readBytes(userStore()), mine);
    }
    EXPECT_TRUE(reporter.entries.empty());
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(userStore().parent_path())) {
        EXPECT_EQ(entry.path(), userStore()) << "left behind";
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(UserStoreTest, NothingIsMadeWhenTheApplicationFolderIsTheUsers) {
    EXPECT_TRUE(prepareUserStore(AppFolders(dir.str("app")), reporter));
    EXPECT_FALSE(fs::exists(dir.path() / "user"));
    EXPECT_EQ(readBytes(bundled()), "bundled store");
}

TEST_F(UserStoreTest, AMissingBundledStoreIsLeftForTheLoadToReport) {
    fs::remove(bundled());
    EXPECT_FALSE(prepareUserStore(folders(), reporter));
    EXPECT_FALSE(fs::exists(userStore()));
    EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(UserStoreTest, AFolderThatCannotBeMadeIsReported) {
    writeBytes(dir.path() / "user", "a file where the folder should be");
    EXPECT_FALSE(prepareUserStore(folders(), reporter));
    ASSERT_EQ(reporter.entries.size(), 1u);
    EXPECT_EQ(
        reporter.entries[0].text.rfind("无法建立用户的方案文件 " + userStore().string() + "：", 0),
        0u)
        << reporter.entries[0].text;
    EXPECT_EQ(reporter.entries[0].kind, MessageKind::Stop);
}

}  // namespace
}  // namespace varnetto
