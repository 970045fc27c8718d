#include "common/PendingFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
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
        fs::remove(pending.tempPath());
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
        auto* left = new PendingFile(dir.path() / "links" / "store.bis", Links::Follow);
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

// An output never goes where a link leads: whoever planted the link in a
// shared folder would choose which file a run (by root, say) overwrites or
// creates. The link itself is replaced by the new file.
TEST(PendingFile, OutputsReplaceLinksInsteadOfFollowingThem) {
    TempDir dir;
    fs::create_directory(dir.path() / "out");
    fs::create_directory(dir.path() / "etc");
    writeBytes(dir.path() / "victim", "root's own");
    fs::permissions(dir.path() / "victim", fs::perms::owner_read | fs::perms::owner_write);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    const std::vector<std::pair<const char*, fs::path>> links = {
        {"to a file", dir.path() / "victim"},
        {"relative, to a file", "../victim"},
        {"to nothing yet", dir.path() / "etc" / "made"},
        {"to a folder", dir.path() / "etc"},
    };
    for (size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(links[i].first);
        const fs::path target = dir.path() / "out" / ("p" + std::to_string(i) + ".jpg");
        fs::create_symlink(links[i].second, target);
        PendingFile pending(target);
        writeAll(pending.descriptor(), "picture");
        pending.commit();
        EXPECT_FALSE(fs::is_symlink(target));
        EXPECT_EQ(readBytes(target), "picture");
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << "a link's target lends no mode";
    }
    EXPECT_EQ(readBytes(dir.path() / "victim"), "root's own");
    EXPECT_TRUE(fs::is_empty(dir.path() / "etc"));
    EXPECT_EQ(leftovers(dir.path() / "out"), 0);
}

pid_t finishedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

std::string hex8(unsigned value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// The sweep removes only the program's own leftovers whose writer is surely
// gone: a process of this host that no longer runs, or another host's (a
// shard of a cluster run on a shared folder) after a day. Hidden files of
// the user's that look like the oldest naming are never removed.
TEST(PendingFile, TheSweepRemovesOnlyLeftoversOfWritersThatAreGone) {
    TempDir dir;
    std::string here;
    {
        PendingFile probe(dir.path() / "probe.png");
        here = probe.tempPath().filename().string().substr(4, 8);
    }
    const std::string elsewhere = here == "00000000" ? "00000001" : "00000000";
    const std::string gone = hex8(static_cast<unsigned>(finishedProcess()));
    const std::string alive = hex8(static_cast<unsigned>(::getpid()));
    const auto now = fs::file_time_type::clock::now();
    const auto hourAgo = now - std::chrono::hours(1);
    const auto daysAgo = now - std::chrono::hours(48);
    struct Case {
        std::string name;
        fs::file_time_type written;
        bool removed;
    };
    const std::vector<Case> cases = {
        {".~vn" + here + gone + "0badf00d.png", hourAgo, true},
        {".~vn" + here + alive + "0badf00d.png", daysAgo, false},
        {".~vn" + elsewhere + gone + "0badf00d.png", hourAgo, false},
        {".~vn" + elsewhere + gone + "0badf00d.tif", daysAgo, true},
        // The previous version named no host.
        {".~vn" + gone + "0000002a.png", hourAgo, false},
        {".~vn" + gone + "0000002b.bis", daysAgo, true},
        {".~minutes.2023-1.pdf", daysAgo, false},
        {".~scan.2019-12.tif", daysAgo, false},
        {".~photo." + std::to_string(std::stoul(gone, nullptr, 16)) + "-7.png", daysAgo, false},
    };
    for (const Case& c : cases) {
        writeBytes(dir.path() / c.name, "x");
        fs::last_write_time(dir.path() / c.name, c.written);
        EXPECT_TRUE(isPendingFileName(c.name)) << c.name << " is hidden from folder scans";
    }
    removeStalePendingFiles(dir.path(), now);
    for (const Case& c : cases) EXPECT_EQ(!fs::exists(dir.path() / c.name), c.removed) << c.name;
}

// A folder that turns read-only while a file is written keeps the temporary
// file; discarding it says why, so the caller can name the leftover.
TEST(PendingFile, ATemporaryThatCannotBeRemovedIsReported) {
    TempDir dir;
    const uid_t nobody = 65534;
    fs::create_directory(dir.path() / "out");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.path().c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown((dir.path() / "out").c_str(), nobody, nobody), 0);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root is never refused: the folder's rules hold for a user.
        if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(2);
        PendingFile pending(dir.path() / "out" / "a.png");
        writeAll(pending.descriptor(), "picture");
        fs::permissions(dir.path() / "out", fs::perms::owner_read | fs::perms::owner_exec);
        try {
            pending.commit();
            ::_exit(3);
        } catch (const std::system_error&) {
        }
        const std::string reason = pending.discard();
        ::_exit(!reason.empty() && fs::exists(pending.tempPath()) ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(leftovers(dir.path() / "out"), 1);
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "a.png"));
    fs::permissions(dir.path() / "out", fs::perms::owner_all);
}

}  // namespace
}  // namespace varnetto
