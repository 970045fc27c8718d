#include "common/PendingFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <system_error>

namespace varnetto {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

// Names in folder left by unfinished writes.
int leftovers(const fs::path& folder) {
    int count = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->path().filename().string().rfind(".~", 0) == 0) ++count;
    return count;
}

TEST(PendingFile, WritesThatCannotSucceedThrowAndLeaveNothing) {
    struct Case {
        const char* name;
        // Prepares dir and returns the target to write.
        std::function<fs::path(const fs::path& dir)> target;
        bool ownerRulesOnly;  // root ignores permissions
    };
    const std::vector<Case> cases = {
        {"target folder missing", [](const fs::path& dir) { return dir / "missing" / "a.bis"; },
         false},
        {"a file where the folder should be",
         [](const fs::path& dir) {
             writeBytes(dir / "plain", "not a folder");
             return dir / "plain" / "a.bis";
         },
         false},
        {"read-only folder",
         [](const fs::path& dir) {
             fs::create_directory(dir / "locked");
             fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
             return dir / "locked" / "a.bis";
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.ownerRulesOnly && ::geteuid() == 0) continue;
        TempDir dir;
        const fs::path target = c.target(dir.path());
        EXPECT_THROW(writeFileAtomically(target, "new"), std::system_error);
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(leftovers(target.parent_path()), 0);
        std::error_code ignored;
        fs::permissions(target.parent_path(), fs::perms::owner_all, ignored);
    }
}

TEST(PendingFile, CommitWithoutTheTemporaryFileKeepsTheOldOne) {
    TempDir dir;
    const fs::path target = dir.path() / "store.bis";
    writeBytes(target, "old");
    PendingFile pending(target);
    writeBytes(pending.tempPath(), "new");
    fs::remove(pending.tempPath());
    EXPECT_THROW(pending.commit(), std::system_error);
    EXPECT_EQ(readBytes(target), "old");
}

TEST(PendingFile, AnUncommittedFileIsRemoved) {
    TempDir dir;
    const fs::path target = dir.path() / "out.jpg";
    fs::path temp;
    {
        PendingFile pending(target);
        temp = pending.tempPath();
        EXPECT_EQ(temp.parent_path(), target.parent_path());
        EXPECT_EQ(temp.extension(), ".jpg") << "encoders choose the format by it";
        writeBytes(temp, "half");
    }
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(fs::exists(target));
}

TEST(PendingFile, ReplacingAFileKeepsItsPermissions) {
    TempDir dir;
    for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                                 fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read}) {
        const fs::path target = dir.path() / "kept";
        writeBytes(target, "old");
        fs::permissions(target, mode);
        writeFileAtomically(target, "new");
        EXPECT_EQ(readBytes(target), "new");
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::mask, mode);
        EXPECT_EQ(leftovers(dir.path()), 0);
    }
}

TEST(PendingFile, ANewFileNeverReplacesOneThatExists) {
    TempDir dir;
    const fs::path target = dir.path() / "store.bis";
    EXPECT_TRUE(writeNewFileAtomically(target, "first"));
    EXPECT_FALSE(writeNewFileAtomically(target, "second"));
    EXPECT_EQ(readBytes(target), "first");
    // One made by someone else between the check and the rename is kept too.
    {
        PendingFile pending(dir.path() / "raced.bis");
        writeBytes(pending.tempPath(), "mine");
        writeBytes(dir.path() / "raced.bis", "theirs");
        EXPECT_FALSE(pending.commitUnlessExists());
    }
    EXPECT_EQ(readBytes(dir.path() / "raced.bis"), "theirs");
    EXPECT_EQ(leftovers(dir.path()), 0);
}

}  // namespace
}  // namespace varnetto
