#include "processing/FolderWatch.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

namespace varnetto {
namespace {

using testing::TempDir;
using testing::writeBytes;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(FolderWatch, HandsOnOnlyFinishedPictureNames) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {"a.jpg", true},      {"B.PNG", true},       {"trip 2.webp", true},
        {".a.jpg", false},    {"a.jpg.part", false}, {"a.jpg.crdownload", false},
        {"a.jpg.TMP", false}, {"a.jpg~", false},     {"notes.txt", false},
        {"a.part.jpg", true}, {"a", false},          {".~vn0123456789abcdef01234567.jpg", false},
    };
    for (const auto& [name, taken] : cases) EXPECT_EQ(isWatchedPictureName(name), taken) << name;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// What the watch reports until done says enough, or ten seconds pass.
FolderWatch::Change watchUntil(FolderWatch& watch,
                               const std::function<bool(const FolderWatch::Change&)>& done) {
    FolderWatch::Change seen;
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!done(seen) && std::chrono::steady_clock::now() < until) {
        FolderWatch::Change change = watch.wait(100ms);
        const auto add = [](std::vector<std::string>& to, const std::vector<std::string>& from) {
            to.insert(to.end(), from.begin(), from.end());
        };
        add(seen.pictures, change.pictures);
        add(seen.lost, change.lost);
        add(seen.appeared, change.appeared);
    }
    return seen;
}

// A folder removed is reported; made again, it is watched again and the
// pictures written into it meanwhile are reported.
TEST(FolderWatch, AFolderThatGoesAwayIsWatchedForAndTakenBack) {
    TempDir dir;
    const std::string in = dir.str("in");
    fs::create_directories(in + "/out");
    FolderWatch watch({in}, true, {in + "/out"});
    writeBytes(in + "/a.png", "x");
    writeBytes(in + "/out/a.png", "x");
    // A link is complete once made: no close follows it.
    writeBytes(dir.str("elsewhere.png"), "x");
    fs::create_hard_link(dir.str("elsewhere.png"), in + "/linked.png");
    fs::create_directories(in + "/later");
    writeBytes(in + "/later/b.png", "x");
    auto change = watchUntil(watch, [&](const auto& c) {
        return contains(c.pictures, in + "/a.png") && contains(c.pictures, in + "/later/b.png") &&
               contains(c.pictures, in + "/linked.png");
    });
    EXPECT_TRUE(contains(change.pictures, in + "/a.png"));
    EXPECT_TRUE(contains(change.pictures, in + "/later/b.png"));
    EXPECT_TRUE(contains(change.pictures, in + "/linked.png"));
    EXPECT_FALSE(contains(change.pictures, in + "/out/a.png"));

    fs::remove_all(in);
    change = watchUntil(watch, [&](const auto& c) { return contains(c.lost, in); });
    EXPECT_EQ(change.lost, std::vector<std::string>{in});
    fs::create_directories(in);
    writeBytes(in + "/c.png", "x");
    change = watchUntil(watch, [&](const auto& c) {
        return contains(c.appeared, in) && contains(c.pictures, in + "/c.png");
    });
    EXPECT_TRUE(contains(change.appeared, in));
    EXPECT_TRUE(contains(change.pictures, in + "/c.png"));
}

}  // namespace
}  // namespace varnetto
