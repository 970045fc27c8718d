#include "processing/ImageFiles.h"
#include "processing/OutputFolder.h"
#include "processing/RunPlan.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

namespace varnetto {
namespace {

using testing::TempDir;
using testing::writeBytes;
namespace fs = std::filesystem;

TEST(ParseShard, AcceptsOnlyKOfN) {
    const std::vector<std::pair<std::string, std::optional<std::pair<int, int>>>> cases = {
        {"1/1", std::pair{1, 1}}, {"3/4", std::pair{3, 4}}, {"12/12", std::pair{12, 12}},
        {"0/4", std::nullopt},    {"5/4", std::nullopt},    {"-1/4", std::nullopt},
        {"1/0", std::nullopt},    {"1", std::nullopt},      {"1/4x", std::nullopt},
        {" 1/4", std::nullopt},   {"1//4", std::nullopt},   {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const auto shard = parseShard(text);
        ASSERT_EQ(shard.has_value(), expected.has_value());
        if (shard) {
            EXPECT_EQ(std::pair(shard->number, shard->count), *expected);
        }
    }
}

std::vector<RunItem> numbered(const std::vector<std::string>& sources) {
    std::vector<RunItem> items;
    for (const std::string& source : sources)
        items.push_back({static_cast<int>(items.size()) + 1, source, {}});
    return items;
}

std::vector<int> indexesOf(const RunPlan& plan) {
    std::vector<int> indexes;
    for (const PlannedImage& image : plan.images) indexes.push_back(image.item.index);
    return indexes;
}

TEST(PlanRun, ShardsTakeEveryNthImageAndKeepTheirRunNumbers) {
    Scheme scheme;
    scheme.outputFolder = "/out";
    scheme.namingMode = stored(NamingMode::Rename);
    scheme.renamePrefix = "p";
    scheme.renameStartNumber = 100;
    const auto run = numbered({"/in/a.jpg", "/in/b.jpg", "/in/c.jpg", "/in/d.jpg", "/in/e.jpg",
                               "/in/f.jpg", "/in/g.jpg"});
    const std::vector<std::vector<int>> expected = {{1, 4, 7}, {2, 5}, {3, 6}};
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        const RunPlan plan = planRun(scheme, run, {k, 3});
        EXPECT_EQ(plan.error, "");
        EXPECT_EQ(indexesOf(plan), expected[static_cast<size_t>(k - 1)]);
        for (const PlannedImage& image : plan.images)
            EXPECT_EQ(image.output, "/out/p_" + std::to_string(99 + image.item.index) + ".jpg");
    }
    EXPECT_EQ(indexesOf(planRun(scheme, run, {1, 1})), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    // More shards than images: some have nothing to do.
    EXPECT_TRUE(planRun(scheme, numbered({"/in/a.jpg"}), {2, 4}).images.empty());
}

TEST(PlanRun, OnlyTheLastWriterOfAFileWritesItWhenSharded) {
    Scheme scheme;
    scheme.outputFolder = "/out";
    scheme.convertEnabled = scheme.formatConvertEnabled = 1;
    scheme.outputFormat = stored(OutputFormat::WebP);
    // a.bmp, a.jpg and a.png all become a.webp; the last one (5) wins.
    const auto run = numbered({"/in/a.bmp", "/in/b.gif", "/in/a.jpg", "/in/c.jpg", "/in/a.png"});
    std::vector<int> processed;
    for (int k = 1; k <= 2; ++k) {
        const RunPlan plan = planRun(scheme, run, {k, 2});
        EXPECT_EQ(plan.error, "");
        // Each leaves the file to the next image that writes it.
        const std::map<int, int> nextWriter = {{1, 3}, {3, 5}};
        for (const PlannedImage& image : plan.images) {
            const auto next = nextWriter.find(image.item.index);
            EXPECT_EQ(image.replacedBy, next == nextWriter.end() ? 0 : next->second)
                << image.item.source;
        }
        for (const RunItem& item : itemsToProcess(plan)) processed.push_back(item.index);
    }
    std::sort(processed.begin(), processed.end());
    EXPECT_EQ(processed, (std::vector<int>{2, 4, 5}));
    // One process keeps every image: its own order settles who wins.
    EXPECT_EQ(itemsToProcess(planRun(scheme, run, {1, 1})).size(), 5u);
}

TEST(PlanRun, ReadingAnotherShardsOutputIsRefusedInEveryShard) {
    Scheme scheme;
    scheme.outputFolder = "/in";
    scheme.convertEnabled = scheme.formatConvertEnabled = 1;
    scheme.outputFormat = stored(OutputFormat::Jpeg);
    // Image 1 writes /in/a.jpg, which image 2 reads before replacing it: only
    // one process can keep that order, and image 1 cannot be left out.
    const auto run = numbered({"/in/a.bmp", "/in/a.jpg", "/in/b.png"});
    for (int k = 1; k <= 2; ++k) {
        const RunPlan plan = planRun(scheme, run, {k, 2});
        EXPECT_NE(plan.error.find("/in/a.bmp"), std::string::npos) << plan.error;
        EXPECT_NE(plan.error.find("/in/a.jpg"), std::string::npos) << plan.error;
    }
    // Within one shard the run keeps its order as usual.
    EXPECT_EQ(planRun(scheme, run, {1, 1}).error, "");
    EXPECT_EQ(planRun(scheme, numbered({"/in/a.bmp", "/in/x.png", "/in/a.jpg"}), {1, 2}).error, "");
}

TEST(FolderScan, RecursiveScanWalksDepthFirstSkippingLinksAndTheOutputFolder) {
    TempDir dir;
    for (const char* name : {"b.jpg", "a.png", "2021/x.jpg", "2021/06/y.webp", "2021/06/z.heic",
                             "2021/06/notes.txt", "2020/w.jxl", "out/old.jpg", "elsewhere/e.jpg"}) {
        fs::create_directories((dir.path() / name).parent_path());
        writeBytes(dir.path() / name, "x");
    }
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "2021" / "link");
    const std::string d = dir.str();
    std::vector<std::pair<std::string, std::string>> found;
    for (const FolderImage& image : listFolderImagesRecursive(d, dir.str("out")))
        found.emplace_back(image.path.substr(d.size()), image.subfolder);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/b.jpg", ""},
        {"/a.png", ""},
        {"/2020/w.jxl", "2020"},
        {"/2021/x.jpg", "2021"},
        {"/2021/06/y.webp", "2021/06"},
        {"/2021/06/z.heic", "2021/06"},
        {"/elsewhere/e.jpg", "elsewhere"},
    };
    EXPECT_EQ(found, expected);
}

TEST(OutputSubfolder, StaysInsideTheOutputFolder) {
    TempDir dir;
    fs::create_directories(dir.path() / "out");
    fs::create_directories(dir.path() / "outside");
    fs::create_directory_symlink(dir.path() / "outside", dir.path() / "out" / "escape");
    const std::string out = dir.str("out");

    EXPECT_EQ(checkOutputSubfolder(out, "a/b/c"), "");
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "a"));  // checking writes nothing
    EXPECT_EQ(makeOutputSubfolder(out, "a/b/c"), "");
    EXPECT_TRUE(fs::is_directory(dir.path() / "out" / "a" / "b" / "c"));
    EXPECT_EQ(makeOutputSubfolder(out, "a/b/c"), "");  // a second shard finds them made

    for (const char* bad :
         {"escape", "escape/deeper", "../outside", "a/../../outside", "/abs", "a//b", "a/./b"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE(checkOutputSubfolder(out, bad), "");
        EXPECT_NE(makeOutputSubfolder(out, bad), "");
    }
    EXPECT_TRUE(fs::is_empty(dir.path() / "outside"));

    // Only the picture fails, so the reason is the system's, not "the batch stopped".
    testing::writeBytes(dir.path() / "out" / "file", "x");
    std::string tooLong = "d";
    while (tooLong.size() < 5000) tooLong += "/" + std::string(100, 'd');
    for (const auto& [subfolder, reason] : std::vector<std::pair<std::string, std::string>>{
             {"file/x", "不是目录"}, {tooLong, "File name too long"}}) {
        const std::string message = makeOutputSubfolder(out, subfolder);
        EXPECT_EQ(message.rfind("无法创建输出子目录： ", 0), 0u) << message;
        EXPECT_NE(message.find(reason), std::string::npos) << message;
        EXPECT_EQ(message.find("批量处理中止"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace varnetto
