#include "processing/BatchRun.h"

#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "processing/OutputFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace varnetto {
namespace {

using testing::RecordingReporter;
using testing::TempDir;
using Deps = std::vector<std::vector<size_t>>;

TEST(RunOrderDependencies, IndependentImagesWaitForNothing) {
    EXPECT_EQ(runOrderDependencies({"/in/a.jpg", "/in/b.jpg", "/in/c.jpg"},
                                   {"/out/a.jpg", "/out/b.jpg", "/out/c.jpg"}),
              (Deps{{}, {}, {}}));
}

TEST(RunOrderDependencies, CoincidingOutputsKeepRunOrder) {
    EXPECT_EQ(runOrderDependencies({"/in/a.jpg", "/in/a.bmp", "/in/b.png", "/in/a.gif"},
                                   {"/out/a.jpg", "/out/a.jpg", "/out/b.jpg", "/out/a.jpg"}),
              (Deps{{}, {0}, {}, {0, 1}}));
}

TEST(RunOrderDependencies, ReadingAnEarlierOutputWaitsForIt) {
    // a.bmp becomes a.jpg in the same folder, which is also a later input.
    EXPECT_EQ(runOrderDependencies({"/in/a.bmp", "/in/a.jpg"}, {"/in/a.jpg", "/in/a.jpg"}),
              (Deps{{}, {0}}));
    // An output replacing a source read earlier waits for that read.
    EXPECT_EQ(runOrderDependencies({"/in/b.jpg", "/in/a.bmp"}, {"/out/b.jpg", "/in/b.jpg"}),
              (Deps{{}, {0}}));
}

TEST(RunOrderDependencies, SpellingsOfOnePathAreOnePath) {
    EXPECT_EQ(runOrderDependencies({"/in/a.jpg", "/in/b.jpg"}, {"/out/x/../a.jpg", "/out//a.jpg"}),
              (Deps{{}, {0}}));
}

// A folder or a file reached through a link is the one it leads to.
TEST(RunOrderDependencies, LinksLeadToOnePath) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "real");
    testing::writeBytes(dir.path() / "real" / "a.jpg", "x");
    std::filesystem::create_directory_symlink(dir.path() / "real", dir.path() / "folder");
    std::filesystem::create_symlink(dir.path() / "real" / "a.jpg", dir.path() / "real" / "b.jpg");
    EXPECT_EQ(runOrderDependencies(
                  {dir.str("folder/a.jpg"), dir.str("in.jpg"), dir.str("c.jpg")},
                  {dir.str("out.jpg"), dir.str("real/b.jpg"), dir.str("folder/new.jpg")}),
              (Deps{{}, {0}, {}}));
    EXPECT_EQ(runOrderDependencies({dir.str("c.jpg"), dir.str("d.jpg")},
                                   {dir.str("folder/new.jpg"), dir.str("real/new.jpg")}),
              (Deps{{}, {0}}));
}

TEST(RunOrderDependencies, EmptyOutputsNeverConflict) {
    EXPECT_EQ(runOrderDependencies({"/in/a.jpg", "/in/b.jpg"}, {"", ""}), (Deps{{}, {}}));
}

TEST(EnsureOutputFolder, CreatesOneLevelOnly) {
    TempDir dir;
    EXPECT_EQ(ensureOutputFolder(dir.str("new")), "");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "new"));
    EXPECT_EQ(ensureOutputFolder(dir.str("new")), "");
    const std::string deep = dir.str("a/b");
    EXPECT_EQ(ensureOutputFolder(deep), "无法创建输出目录： " + deep + "，批量处理中止。");
    EXPECT_NE(ensureOutputFolder(""), "");
    testing::writeBytes(dir.path() / "file", "x");
    EXPECT_NE(ensureOutputFolder(dir.str("file")), "");
}

TEST(OutputFolder, OneRuleForWhatStandsWhereTheFolderShouldBe) {
    TempDir dir;
    testing::writeBytes(dir.path() / "file", "x");
    std::filesystem::create_directory(dir.path() / "folder");
    std::filesystem::create_directory_symlink(dir.path() / "folder", dir.path() / "link");
    const std::string refused = "无法创建输出目录： %s，批量处理中止。";
    struct Case {
        std::string folder;
        OutputFolderState state;
        bool ready;  // after ensureOutputFolder
    };
    const std::vector<Case> cases = {
        {dir.str("folder"), OutputFolderState::Ready, true},
        {dir.str("link"), OutputFolderState::Ready, true},
        {dir.str("new"), OutputFolderState::Missing, true},
        {dir.str("missing/new"), OutputFolderState::Missing, false},
        {dir.str("file"), OutputFolderState::NotAFolder, false},
        {"", OutputFolderState::Missing, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(outputFolderState(c.folder), c.state);
        const std::string message = ensureOutputFolder(c.folder);
        EXPECT_EQ(message, c.ready ? "" : formatMessage(refused.c_str(), c.folder.c_str()));
        EXPECT_EQ(outputFolderState(c.folder), c.ready ? OutputFolderState::Ready : c.state);
    }
    EXPECT_EQ(testing::readBytes(dir.path() / "file"), "x");
}

// Records the order in which images start and finish.
class OrderObserver : public BatchObserver {
  public:
    void imageStarted(int index, const std::string&) override {
        std::lock_guard lock(mutex);
        started.push_back(index);
    }
    void imageFinished(const BatchOutcome& outcome) override {
        std::lock_guard lock(mutex);
        finished.push_back(outcome.index);
    }
    std::mutex mutex;
    std::vector<int> started;
    std::vector<int> finished;
};

void writeSolidPng(const std::string& path, int width, int height, int grey) {
    Bitmap::black(width, height, Bitmap::option()->set("bands", 3))
        .linear(1.0, grey)
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(path.c_str());
}

TEST(RunBatch, LaterImageWinsWhenOutputsCoincide) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    std::vector<std::string> sources;
    // Twelve sources, all named "a" under different extensions and folders,
    // converted to PNG: every one writes out/a.png.
    for (int i = 0; i < 12; ++i) {
        const auto folder = dir.path() / ("in" + std::to_string(i));
        std::filesystem::create_directory(folder);
        const std::string path = (folder / "a.png").string();
        writeSolidPng(path, 40 + i, 30, 10 * i);
        sources.push_back(path);
    }
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    RecordingReporter reporter;
    OrderObserver observer;
    std::atomic<bool> abort{false};
    const auto outcomes =
        runBatch(scheme, sources, dir.str(), reporter, &observer, abort, BatchOptions{4});
    ASSERT_EQ(outcomes.size(), 12u);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i].index, static_cast<int>(i) + 1);
        EXPECT_TRUE(outcomes[i].ok()) << outcomes[i].error;
        EXPECT_EQ(outcomes[i].output, dir.str("out/a.png"));
    }
    EXPECT_EQ(observer.started, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(observer.finished, observer.started);
    const Bitmap written = Bitmap::new_from_file(dir.str("out/a.png").c_str());
    EXPECT_EQ(written.width(), 51);
    EXPECT_EQ(written(0, 0)[0], 110);
}

TEST(RunBatch, AbortStartsNoNewImage) {
    TempDir dir;
    std::vector<std::string> sources;
    for (int i = 0; i < 8; ++i) {
        sources.push_back(dir.str("img" + std::to_string(i) + ".png"));
        writeSolidPng(sources.back(), 20, 20, 50);
    }
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");

    // Aborts as the third image starts; a single worker finishes it and stops.
    class AbortingObserver : public BatchObserver {
      public:
        explicit AbortingObserver(std::atomic<bool>& flag) : flag_(flag) {}
        void imageStarted(int index, const std::string&) override {
            if (index == 3) flag_ = true;
        }
        void imageFinished(const BatchOutcome&) override {}

      private:
        std::atomic<bool>& flag_;
    };
    std::atomic<bool> abort{false};
    AbortingObserver observer(abort);
    RecordingReporter reporter;
    const auto outcomes = runBatch(scheme, sources, dir.str(), reporter, &observer, abort, {1});
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "img2.png"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "img3.png"));
}

TEST(RunBatch, SeveralWorkersGiveLibvipsOneThreadEach) {
    TempDir dir;
    std::vector<std::string> sources;
    for (int i = 0; i < 4; ++i) {
        sources.push_back(dir.str("img" + std::to_string(i) + ".png"));
        writeSolidPng(sources.back(), 16, 16, 90);
    }
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");

    class ThreadsObserver : public BatchObserver {
      public:
        void imageStarted(int, const std::string&) override {
            std::lock_guard lock(mutex);
            seen.push_back(imagingThreads());
        }
        void imageFinished(const BatchOutcome&) override {}
        std::mutex mutex;
        std::vector<int> seen;
    };
    struct Case {
        int jobs;
        size_t images;
        int threads;  // libvips threads while the images run
    };
    setImagingThreads(3);
    for (const Case c : {Case{2, 4, 1}, Case{4, 4, 1}, Case{1, 4, 3}, Case{4, 1, 3}}) {
        SCOPED_TRACE(std::to_string(c.jobs) + " jobs, " + std::to_string(c.images) + " images");
        ThreadsObserver observer;
        RecordingReporter reporter;
        std::atomic<bool> abort{false};
        const std::vector<std::string> run(sources.begin(), sources.begin() + c.images);
        runBatch(scheme, run, dir.str(), reporter, &observer, abort, BatchOptions{c.jobs});
        EXPECT_EQ(observer.seen, std::vector<int>(c.images, c.threads));
        EXPECT_EQ(imagingThreads(), 3) << "the count comes back after the run";
    }
    setImagingThreads(0);
}

TEST(RunBatch, WhateverOneImageThrowsBecomesItsOwnFailure) {
    TempDir dir;
    std::vector<std::string> sources;
    for (int i = 0; i < 5; ++i) {
        sources.push_back(dir.str("img" + std::to_string(i) + ".png"));
        writeSolidPng(sources.back(), 16, 16, 40);
    }
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");

    // Stands for what a worker may meet besides a bad picture: memory running
    // out, the file system refusing, a progress display failing.
    class ThrowingObserver : public BatchObserver {
      public:
        void imageStarted(int index, const std::string& source) override {
            if (index == 2) throw std::bad_alloc();
            if (index == 4)
                throw std::filesystem::filesystem_error(
                    "status", source, std::make_error_code(std::errc::permission_denied));
        }
        void imageFinished(const BatchOutcome& outcome) override {
            if (outcome.index == 5) throw std::runtime_error("display gone");
        }
    };
    ThrowingObserver observer;
    RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const auto outcomes =
        runBatch(scheme, sources, dir.str(), reporter, &observer, abort, BatchOptions{2});
    ASSERT_EQ(outcomes.size(), 5u);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE(i);
        const BatchOutcome& o = outcomes[i];
        EXPECT_EQ(o.index, static_cast<int>(i) + 1);
        EXPECT_EQ(o.source, sources[i]);
        const bool thrown = o.index == 2 || o.index == 4;
        EXPECT_EQ(o.ok(), !thrown) << o.error;
        if (thrown) {
            EXPECT_EQ(o.error.rfind(sources[i] + "：", 0), 0u) << o.error;
        }
    }
    EXPECT_NE(outcomes[1].error.find(std::bad_alloc().what()), std::string::npos);
    EXPECT_NE(outcomes[3].error.find("Permission denied"), std::string::npos) << outcomes[3].error;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "img4.png"))
        << "an image whose progress display failed is still written";
}

}  // namespace
}  // namespace varnetto
