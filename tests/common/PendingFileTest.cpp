#include "common/PendingFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

TEST(PendingFile, LegalLongNamesGetShortTemporaries) {
    TempDir dir;
    for (size_t length : {200u, 242u, 251u}) {
        const fs::path target = dir.path() / (std::string(length, 'x') + ".png");
        writeFileAtomically(target, "picture");
        EXPECT_EQ(readBytes(target), "picture");
        PendingFile pending(target);
        EXPECT_LE(pending.tempPath().filename().string().size(), 32u) << pending.tempPath();
        EXPECT_EQ(pending.tempPath().parent_path(), target.parent_path());
    }
    EXPECT_EQ(leftovers(dir.path()), 0);
}

// A target that is a link is written through: the link stays a link, the file
// it leads to gets the new content and keeps its mode and owner.
TEST(PendingFile, LinkedTargetsAreWrittenThroughKeepingModeAndOwner) {
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    const fs::path file = dir.path() / "real" / "store.bis";
    writeBytes(file, "old");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
    }
    // A relative link to a relative link.
    fs::create_symlink("real/store.bis", dir.path() / "first");
    fs::create_directory(dir.path() / "app");
    fs::create_symlink("../first", dir.path() / "app" / "store.bis");

    writeFileAtomically(dir.path() / "app" / "store.bis", "new");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "app" / "store.bis"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "first"));
    EXPECT_EQ(readBytes(file), "new");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
    }
    EXPECT_EQ(leftovers(dir.path() / "real"), 0);
    EXPECT_EQ(leftovers(dir.path() / "app"), 0);

    // A link to nothing yet creates the file where it points.
    fs::create_symlink("made.bis", dir.path() / "dangling");
    writeFileAtomically(dir.path() / "dangling", "made");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
    EXPECT_EQ(readBytes(dir.path() / "made.bis"), "made");
}

// A NUL byte ends a path for the system: "victim\0zzz/a.bis" would name the
// folder "victim". Such a target is refused, and nothing is ever removed but
// the temporary file itself.
TEST(PendingFile, NeverRemovesWhatItDidNotWrite) {
    TempDir dir;
    fs::create_directory(dir.path() / "victim");
    const fs::path target = dir.str("victim") + std::string(1, '\0') + "zzz/a.bis";
    EXPECT_THROW(writeFileAtomically(target, "x"), std::system_error);
    EXPECT_THROW(PendingFile{target}, std::system_error);
    EXPECT_TRUE(fs::is_directory(dir.path() / "victim"));

    const fs::path plain = dir.path() / "plain.bis";
    {
        PendingFile pending(plain);
        fs::create_directory(pending.tempPath());  // someone else's folder under that name
    }
    EXPECT_EQ(leftovers(dir.path()), 1) << "a folder that was not written stays";
}

// Temporary files of a killed program are removed by a later clean-up when
// they are older than it and their writer has gone; live writers and the
// user's own files are left alone.
TEST(PendingFile, StaleTemporariesOfDeadWritersAreCleared) {
    TempDir dir;
    const auto start = fs::file_time_type::clock::now();
    // A writer killed before it could clean up.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* left = new PendingFile(dir.path() / "killed.png");
        const int fd = ::open(left->tempPath().c_str(), O_WRONLY | O_CREAT, 0644);
        ::_exit(fd >= 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(leftovers(dir.path()), 1);
    // This process is alive and writing.
    PendingFile live(dir.path() / "live.png");
    writeBytes(live.tempPath(), "half");
    writeBytes(dir.path() / ".~notes.png", "the user's");
    for (const auto& entry : fs::directory_iterator(dir.path()))
        fs::last_write_time(entry.path(), start - std::chrono::hours(1));

    removeStalePendingFiles(dir.path(), start - std::chrono::hours(2));
    EXPECT_EQ(leftovers(dir.path()), 3) << "nothing is older than two hours ago";
    removeStalePendingFiles(dir.path(), start);
    EXPECT_EQ(leftovers(dir.path()), 2);
    EXPECT_TRUE(fs::exists(live.tempPath()));
    EXPECT_TRUE(fs::exists(dir.path() / ".~notes.png"));
}

// A file written through a link gets its temporaries beside the link's
// target, so that is where a killed writer's leftovers are looked for.
TEST(PendingFile, StaleTemporariesBesideALinksTargetAreCleared) {
    TempDir dir;
    fs::create_directories(dir.path() / "real");
    fs::create_directories(dir.path() / "links");
    writeBytes(dir.path() / "real" / "store.bis", "x");
    fs::create_symlink(dir.path() / "real" / "store.bis", dir.path() / "links" / "store.bis");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* left = new PendingFile(dir.path() / "links" / "store.bis");
        const int fd = ::open(left->tempPath().c_str(), O_WRONLY | O_CREAT, 0644);
        ::_exit(fd >= 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(leftovers(dir.path() / "real"), 1);
    removeStalePendingFilesBeside(dir.path() / "links" / "store.bis",
                                  fs::file_time_type::clock::now() + std::chrono::hours(1));
    EXPECT_EQ(leftovers(dir.path() / "real"), 0);
    EXPECT_EQ(readBytes(dir.path() / "real" / "store.bis"), "x");
}

}  // namespace
}  // namespace varnetto
