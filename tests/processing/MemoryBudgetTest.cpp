#include "imaging/CImageBox.h"
#include "processing/BatchRun.h"
#include "processing/MemoryBudget.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

namespace varnetto {
namespace {

using namespace std::chrono_literals;
using testing::RecordingReporter;
using testing::TempDir;

TEST(MemoryBudget, PicturesWaitInOrderAndOneAboveTheBudgetRunsAlone) {
    std::atomic<bool> abort{false};
    MemoryBudget budget(100);
    {
        // Alone, a picture above the whole budget runs.
        const auto huge = budget.acquire(500, abort);
        EXPECT_TRUE(huge);
        EXPECT_EQ(budget.inUse(), 500u);
    }
    auto first = std::make_optional(budget.acquire(60, abort));
    auto second = std::async(std::launch::async, [&] { return budget.acquire(60, abort); });
    EXPECT_EQ(second.wait_for(300ms), std::future_status::timeout);
    // A small one behind the waiting one does not overtake it.
    auto third = std::async(std::launch::async, [&] { return budget.acquire(10, abort); });
    EXPECT_EQ(third.wait_for(300ms), std::future_status::timeout);
    first.reset();
    const auto secondGrant = second.get();
    EXPECT_TRUE(secondGrant);
    EXPECT_TRUE(third.get());
    EXPECT_EQ(budget.inUse(), 60u);

    // A picture still waiting when the run is stopped gets nothing.
    auto stopped = std::async(std::launch::async, [&] { return budget.acquire(90, abort); });
    EXPECT_EQ(stopped.wait_for(300ms), std::future_status::timeout);
    abort = true;
    EXPECT_FALSE(stopped.get());
}

TEST(MemoryBudget, SizesParseWithBinaryUnits) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"2G", 2ull << 30},
        {"512M", 512ull << 20},
        {"1.5G", 3ull << 29},
        {"64KiB", 64ull << 10},
        {"3gb", 3ull << 30},
        {"1000", 1000},
        {"", 0},
        {"G", 0},
        {"-1G", 0},
        {"0", 0},
        {"2X", 0},
        {"1e30T", 0},
        {"nan", 0},
        {" 2G", 0},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(parseMemorySize(text), bytes) << text;
    EXPECT_GT(defaultMemoryBudget(), 0u);
}

// The estimate reads the headers: a tiny file of huge dimensions is as
// costly as its pixels, a progressive JPEG holds its coefficients too, and
// a baseline JPEG that is only resized streams.
TEST(MemoryBudget, CostsComeFromTheHeaders) {
    TempDir dir;
    const int side = 2000;
    const auto pixels = static_cast<std::uint64_t>(side) * side;
    const Bitmap black = Bitmap::black(side, side, Bitmap::option()->set("bands", 3));
    black.jpegsave(dir.str("baseline.jpg").c_str());
    black.jpegsave(dir.str("progressive.jpg").c_str(), Bitmap::option()->set("interlace", true));
    black.gifsave(dir.str("bomb.gif").c_str());
    Scheme resize;
    resize.outputFolder = dir.str("out");
    resize.resizeEnabled = 1;
    resize.resizeMode = stored(ResizeMode::Width);
    resize.resizeValue = 100;
    Scheme caption = resize;
    caption.textEnabled = 1;
    caption.textContent = "x";
    const AppFolders app(dir.str());

    struct Case {
        const char* file;
        const Scheme& scheme;
        std::uint64_t atLeast;
        std::uint64_t below;
    };
    const Case cases[] = {
        {"baseline.jpg", resize, 0, pixels},
        {"progressive.jpg", resize, pixels * 3 * 2, pixels * 3 * 3},
        {"baseline.jpg", caption, pixels * 3, pixels * 16},
        {"bomb.gif", resize, pixels * 4 * 2, pixels * 16},
        {"missing.png", resize, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::uint64_t cost = estimatedMemory(c.scheme, dir.str(c.file), app);
        EXPECT_GE(cost, c.atLeast);
        EXPECT_LT(cost, c.below);
    }
}

// Tells how many pictures ran at once: each waits, when it starts, a while
// for another one to start beside it.
class OverlapObserver : public BatchObserver {
  public:
    void imageStarted(int, const std::string&) override {
        std::unique_lock lock(mutex_);
        ++running_;
        most_ = std::max(most_, running_);
        changed_.notify_all();
        changed_.wait_for(lock, 1s, [this] { return running_ > 1; });
    }
    void imageFinished(const BatchOutcome&) override {
        std::lock_guard lock(mutex_);
        --running_;
    }
    int most() const { return most_; }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int running_ = 0;
    int most_ = 0;
};

// Also the fallback of a failed error-attribution self-test.
TEST(RunBatch, PicturesRunTogetherOnlyWithinTheMemoryBudget) {
    TempDir dir;
    std::vector<std::string> sources;
    for (int i = 0; i < 3; ++i) {
        sources.push_back(dir.str("p" + std::to_string(i) + ".png"));
        Bitmap::black(400, 400, Bitmap::option()->set("bands", 3))
            .write_to_file(sources.back().c_str());
    }
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    std::filesystem::create_directory(scheme.outputFolder);
    struct Case {
        std::uint64_t budget;
        bool errorsAttributed;  // else the self-test failed: one at a time
        int together;
    };
    for (const Case c : {Case{1, true, 1}, Case{1ull << 30, true, 2}, Case{1ull << 30, false, 1}}) {
        SCOPED_TRACE(std::to_string(c.budget) + (c.errorsAttributed ? "" : ", unattributed"));
        const int together = c.together;
        OverlapObserver observer;
        RecordingReporter reporter;
        std::atomic<bool> abort{false};
        BatchOptions options;
        options.jobs = 3;
        options.memoryBudget = c.budget;
        options.errorsAttributed = c.errorsAttributed;
        const auto outcomes =
            runBatch(scheme, sources, dir.str(), reporter, &observer, abort, options);
        ASSERT_EQ(outcomes.size(), 3u);
        for (const BatchOutcome& outcome : outcomes) EXPECT_TRUE(outcome.ok()) << outcome.error;
        if (together == 1)
            EXPECT_EQ(observer.most(), 1);
        else
            EXPECT_GE(observer.most(), 2);
    }
}

}  // namespace
}  // namespace varnetto
