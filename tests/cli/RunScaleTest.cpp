#include "cli/Commands.h"
#include "cli/RunConsole.h"
#include "imaging/CImageBox.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnetto::cli {
namespace {

using testing::RecordingReporter;
using testing::TempDir;
namespace fs = std::filesystem;

// Collects what a command writes to one of the standard streams.
class Captured {
  public:
    explicit Captured(std::ostream& stream)
        : stream_(stream), previous_(stream.rdbuf(buffer_.rdbuf())) {}
    ~Captured() { stream_.rdbuf(previous_); }
    std::string text() const { return buffer_.str(); }

  private:
    std::ostream& stream_;
    std::ostringstream buffer_;
    std::streambuf* previous_;
};

// A picture that differs from every other one the test writes.
void writePicture(const fs::path& path, int seed) {
    const Bitmap xy = Bitmap::xyz(48 + seed % 5, 32);
    const Bitmap picture = Bitmap::bandjoin({xy[0] * (3 + seed), xy[1] * 5, xy[0] + seed * 20});
    fs::create_directories(path.parent_path());
    (picture % 256).cast(VIPS_FORMAT_UCHAR).write_to_file(path.c_str());
}

// Every file under folder with its bytes, by relative path.
std::map<std::string, std::string> filesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = testing::readBytes(entry.path());
    return files;
}

class RunScaleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "app" / "Schemes");
        testing::writeBytes(dir.path() / "app" / "Schemes" / "Schemes.bis", "");
    }

    void storeSchemes(const std::vector<Scheme>& schemes) {
        SchemeStore store(dir.str("app"));
        for (const Scheme& s : schemes) store.append(s);
        RecordingReporter reporter;
        ASSERT_TRUE(store.save(reporter));
    }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--app-folder", dir.str("app")});
        Captured err(std::cerr);
        Captured out(std::cout);
        const int status = runCommand(args);
        stderrText = err.text();
        stdoutText = out.text();
        return status;
    }

    Scheme webpScheme(const std::string& name, const std::string& folder) {
        Scheme s;
        s.name = name;
        s.outputFolder = dir.str(folder);
        s.namingMode = stored(NamingMode::Rename);
        s.renamePrefix = "web";
        s.renameStartNumber = 7;
        s.convertEnabled = s.formatConvertEnabled = 1;
        s.outputFormat = stored(OutputFormat::WebP);
        s.resizeEnabled = 1;
        s.resizeMode = stored(ResizeMode::Width);
        s.resizeValue = 24;
        s.jpegQuality = 80;
        return s;
    }

    TempDir dir;
    std::string stderrText;
    std::string stdoutText;
};

TEST_F(RunScaleTest, ThreeShardsWriteExactlyTheFilesOfOneRun) {
    for (int i = 0; i < 8; ++i)
        writePicture(dir.path() / "in" / ("p" + std::to_string(i) + (i % 2 ? ".png" : ".tif")), i);
    storeSchemes({webpScheme("whole", "whole"), webpScheme("shards", "shards")});

    EXPECT_EQ(run({"--scheme", "whole", dir.str("in")}), kExitOk) << stderrText;
    for (const char* shard : {"2/3", "3/3", "1/3"})
        EXPECT_EQ(run({"--scheme", "shards", "--shard", shard, "--jobs", "1", dir.str("in")}),
                  kExitOk)
            << stderrText;
    // Run order: the PNGs p1, p3, p5, p7, then the TIFs p0, p2, p4, p6. Shard
    // 1/3, the last to run, took positions 1, 4 and 7, numbered as in one run.
    EXPECT_NE(stderrText.find("[7/8] " + dir.str("in/p4.tif")), std::string::npos) << stderrText;

    const auto whole = filesUnder(dir.path() / "whole");
    ASSERT_EQ(whole.size(), 8u);
    EXPECT_EQ(whole.count("web_7.webp") + whole.count("web_14.webp"), 2u);
    EXPECT_EQ(filesUnder(dir.path() / "shards"), whole);
}

// Shards started together race to make the same output folders; each one
// must take a folder another one has just made as ready.
TEST_F(RunScaleTest, ShardsRunningSideBySideWriteTheFilesOfOneRun) {
    const std::vector<std::string> tree = {"a.png",     "b.tif",     "x/c.png",     "x/d.png",
                                           "x/y/e.png", "x/y/f.tif", "x/y/z/g.png", "x/y/z/h.png"};
    for (size_t i = 0; i < tree.size(); ++i)
        writePicture(dir.path() / "in" / tree[i], static_cast<int>(i));
    storeSchemes({webpScheme("whole", "whole"), webpScheme("shards", "shards")});
    ASSERT_EQ(run({"--scheme", "whole", "--recursive", dir.str("in")}), kExitOk) << stderrText;
    const auto whole = filesUnder(dir.path() / "whole");
    ASSERT_EQ(whole.size(), tree.size());

    const std::string cli = std::string(VARNETTO_BIN_DIR) + "/varnetto-cli";
    const auto logOf = [&](size_t shard) {
        return dir.str("shard" + std::to_string(shard) + ".log");
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        fs::remove_all(dir.path() / "shards");
        std::vector<pid_t> children;
        for (const char* shard : {"1/3", "2/3", "3/3"}) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                const int log =
                    ::open(logOf(children.size()).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(log, 1);
                ::dup2(log, 2);
                ::execl(cli.c_str(), cli.c_str(), "run", "--app-folder", dir.str("app").c_str(),
                        "--scheme", "shards", "--shard", shard, "--jobs", "1", "--recursive",
                        dir.str("in").c_str(), nullptr);
                ::_exit(127);
            }
            children.push_back(child);
        }
        for (size_t i = 0; i < children.size(); ++i) {
            int status = 0;
            ASSERT_EQ(::waitpid(children[i], &status, 0), children[i]);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitOk)
                << testing::readBytes(logOf(i));
        }
        const auto written = filesUnder(dir.path() / "shards");
        EXPECT_TRUE(written == whole) << written.size() << " files written";
    }
}

TEST_F(RunScaleTest, DryRunListsEveryOutputAndWritesNothing) {
    writePicture(dir.path() / "in" / "a.png", 1);
    writePicture(dir.path() / "in" / "sub" / "b.png", 2);
    Scheme scheme = webpScheme("web", "out");
    scheme.namingMode = stored(NamingMode::KeepName);
    storeSchemes({scheme});

    EXPECT_EQ(run({"--scheme", "web", "--dry-run", "--recursive", dir.str("in")}), kExitOk);
    EXPECT_EQ(stdoutText, dir.str("in/a.png") + " -> " + dir.str("out/a.webp") + "\n" +
                              dir.str("in/sub/b.png") + " -> " + dir.str("out/sub/b.webp") + "\n");
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
    EXPECT_EQ(filesUnder(dir.path() / "in").size(), 2u);
}

// A name holding a line break, tab or backslash stays on its own line, as
// show writes texts; and "--" ends the options, so a file may be named
// like one.
TEST_F(RunScaleTest, DryRunKeepsEachPictureOnOneLineAndDashesEndTheOptions) {
    writePicture(dir.path() / "in" / "a\nb.png", 1);
    writePicture(dir.path() / "in" / "t\ta\\b.png", 2);
    writePicture(dir.path() / "dashes.png", 3);
    fs::rename(dir.path() / "dashes.png", dir.path() / "--dry-run");
    Scheme scheme = webpScheme("web", "out");
    scheme.namingMode = stored(NamingMode::KeepName);
    storeSchemes({scheme});

    EXPECT_EQ(run({"--scheme", "web", "--dry-run", dir.str("in")}), kExitOk);
    EXPECT_EQ(stdoutText, dir.str("in/a\\nb.png") + " -> " + dir.str("out/a\\nb.webp") + "\n" +
                              dir.str("in/t\\ta\\\\b.png") + " -> " +
                              dir.str("out/t\\ta\\\\b.webp") + "\n");

    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(run({"--scheme", "web", "--", "--dry-run"}), kExitOk) << stderrText;
    fs::current_path(before);
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "--dry-run.webp"));
}

// A picture whose path exceeds the system's limit (PATH_MAX) is named as a
// failure of the run, not left out without a word.
TEST_F(RunScaleTest, PicturesBeyondThePathLimitFailByName) {
    writePicture(dir.path() / "in" / "near.png", 1);
    const std::string level(200, 'd');
    int fd = ::open(dir.str("in").c_str(), O_RDONLY | O_DIRECTORY);
    std::string deep = dir.str("in");
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        deep += "/" + level;
    }
    ASSERT_GT(deep.size(), static_cast<size_t>(PATH_MAX));
    const int file = ::openat(fd, "far.png", O_WRONLY | O_CREAT, 0600);
    const std::string png = testing::readBytes(dir.path() / "in" / "near.png");
    ASSERT_EQ(::write(file, png.data(), png.size()), static_cast<ssize_t>(png.size()));
    ::close(file);
    ::close(fd);
    Scheme scheme = webpScheme("web", "out");
    scheme.namingMode = stored(NamingMode::KeepName);
    storeSchemes({scheme});

    EXPECT_EQ(run({"--scheme", "web", "--recursive", dir.str("in")}), kExitSomeFailed);
    EXPECT_NE(stderrText.find("1 processed (0 with warnings), 1 failed"), std::string::npos)
        << stderrText;
    EXPECT_NE(stderrText.find("  " + deep + "/far.png"), std::string::npos) << stderrText;
    // The tree is too deep for the folder's own clean-up.
    EXPECT_EQ(std::system(("rm -rf '" + dir.str("in") + "'").c_str()), 0);
}

TEST_F(RunScaleTest, RecursiveRunMirrorsTheTreeAndRefusesAFolderThatLeadsOutside) {
    const std::vector<std::string> tree = {"top.png", "2024/mid.png", "2024/05/low.png",
                                           "2024/05/trip/deep.png", "2023/old.png"};
    for (size_t i = 0; i < tree.size(); ++i)
        writePicture(dir.path() / "in" / tree[i], static_cast<int>(i));
    Scheme scheme = webpScheme("web", "out");
    scheme.namingMode = stored(NamingMode::KeepName);
    storeSchemes({scheme});

    EXPECT_EQ(run({"--scheme", "web", "--recursive", dir.str("in")}), kExitOk) << stderrText;
    std::vector<std::string> written;
    for (const auto& [name, bytes] : filesUnder(dir.path() / "out")) written.push_back(name);
    EXPECT_EQ(written,
              (std::vector<std::string>{"2023/old.webp", "2024/05/low.webp",
                                        "2024/05/trip/deep.webp", "2024/mid.webp", "top.webp"}));
    const Bitmap deep = Bitmap::new_from_file(dir.str("out/2024/05/trip/deep.webp").c_str());
    EXPECT_EQ(deep.width(), 24);

    // A folder of the output tree that is a link elsewhere is not written
    // through; the rest of the run goes on.
    fs::remove_all(dir.path() / "out" / "2023");
    fs::create_directory(dir.path() / "elsewhere");
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "out" / "2023");
    EXPECT_EQ(run({"--scheme", "web", "--recursive", dir.str("in")}), kExitSomeFailed);
    EXPECT_NE(stderrText.find("4 processed (0 with warnings), 1 failed"), std::string::npos)
        << stderrText;
    EXPECT_NE(stderrText.find(dir.str("in/2023/old.png") + "：输出子目录 2023 不在输出目录"),
              std::string::npos)
        << stderrText;
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));
}

TEST(ProgressLine, ShowsCountRateAndTimeLeft) {
    const std::vector<std::tuple<size_t, size_t, double, std::string>> cases = {
        {0, 10, 0.0, "0/10"},
        {0, 10, 3.0, "0/10"},
        {5, 10, 10.0, "5/10  0.5 images/s  0:10 left"},
        {3, 1000, 1.5, "3/1000  2.0 images/s  8:19 left"},
        {1, 5000, 2.0, "1/5000  0.5 images/s  2:46:38 left"},
        {10, 10, 4.0, "10/10  2.5 images/s"},
    };
    for (const auto& [done, total, seconds, expected] : cases)
        EXPECT_EQ(progressLine(done, total, seconds), expected);
}

TEST(RunConsoleOutput, TerminalGetsOneRewrittenLinePipesGetALineEach) {
    std::ostringstream terminal;
    RunConsole onTerminal(terminal, 2, 9, true);
    BatchOutcome outcome;
    onTerminal.imageStarted(4, "/in/a.png");
    onTerminal.imageFinished(outcome);
    onTerminal.message("印章图像 /s.bmp 不存在。", MessageKind::Stop);
    onTerminal.imageStarted(7, "/in/b.png");
    onTerminal.imageFinished(outcome);
    onTerminal.close();
    const std::string shown = terminal.str();
    EXPECT_EQ(shown.find("/in/a.png"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), shown.find("不存在。") + std::string("不存在。").size());
    EXPECT_NE(shown.find("\r\033[K2/2"), std::string::npos) << shown;
    EXPECT_EQ(shown.back(), '\n');

    std::ostringstream pipe;
    RunConsole inPipe(pipe, 2, 9, false);
    inPipe.imageStarted(4, "/in/a.png");
    inPipe.imageFinished(outcome);
    inPipe.close();
    EXPECT_EQ(pipe.str(), "[4/9] /in/a.png\n");
}

}  // namespace
}  // namespace varnetto::cli
