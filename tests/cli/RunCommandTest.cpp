#include "cli/Commands.h"
#include "cli/RunCommand.h"
#include "common/PendingFile.h"
#include "imaging/CImageBox.h"
#include "processing/BatchRun.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <sstream>
#include <thread>

namespace varnetto::cli {
namespace {

using testing::RecordingReporter;
using testing::TempDir;

// Collects what a command writes to stderr.
class CapturedStderr {
  public:
    CapturedStderr() : previous_(std::cerr.rdbuf(buffer_.rdbuf())) {}
    ~CapturedStderr() { std::cerr.rdbuf(previous_); }
    std::string text() const { return buffer_.str(); }

  private:
    std::ostringstream buffer_;
    std::streambuf* previous_;
};

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A picture with a gradient, so that pixels differ across the image.
Bitmap gradient(int width, int height) {
    const Bitmap x = Bitmap::xyz(width, height);
    const Bitmap r = x.extract_band(0) * (255.0 / width);
    const Bitmap g = x.extract_band(1) * (255.0 / height);
    return r.bandjoin(g).bandjoin(r * 0.5 + 60).cast(VIPS_FORMAT_UCHAR);
}

void writePicture(const std::string& path, const std::string& magickFormat) {
    const Bitmap picture = gradient(64, 48);
    if (magickFormat.empty())
        picture.write_to_file(path.c_str());
    else
        picture.magicksave(path.c_str(), Bitmap::option()->set("format", magickFormat.c_str()));
}

// Every input pattern once, plus a file that only looks like a JPEG.
std::vector<std::string> writeMixedFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const std::pair<const char*, const char*> files[] = {
        {"p01.bmp", "BMP"}, {"p02.gif", ""},    {"p03.jpg", ""},      {"p00.jpg", nullptr},
        {"p04.jpeg", ""},   {"p05.png", ""},    {"p06.wbmp", "WBMP"}, {"p07.wbm", "WBMP"},
        {"p08.pcx", "PCX"}, {"p09.psd", "PSD"}, {"p10.tif", ""},      {"p11.tiff", ""}};
    for (const auto& [name, format] : files) {
        const std::string path = (folder / name).string();
        if (!format) {
            testing::writeBytes(path, std::string("\xFF\xD8\xFF\xE0 broken", 11));
        } else if (std::string(name).ends_with(".jpeg")) {
            writePicture(path + ".jpg", format);
            std::filesystem::rename(path + ".jpg", path);
        } else {
            writePicture(path, format);
        }
    }
    testing::writeBytes(folder / "notes.txt", "not an image");
    std::filesystem::create_directory(folder / "sub");
    writePicture((folder / "sub" / "deep.png").string(), "");
    // Run order: pattern by pattern, names sorted within a pattern.
    return {"p01.bmp",  "p02.gif", "p00.jpg", "p03.jpg", "p04.jpeg", "p05.png",
            "p06.wbmp", "p07.wbm", "p08.pcx", "p09.psd", "p10.tif",  "p11.tiff"};
}

class RunCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path() / "app" / "Schemes");
        storePath = dir.str("app/Schemes/Schemes.bis");
        testing::writeBytes(storePath, "");
    }

    void storeSchemes(const std::vector<Scheme>& schemes) {
        SchemeStore store(dir.str("app"));
        for (const Scheme& s : schemes) store.append(s);
        RecordingReporter reporter;
        ASSERT_TRUE(store.save(reporter));
    }

    // "keep": every step off, the source's name in out/.
    void storeKeepScheme() {
        Scheme scheme;
        scheme.name = "keep";
        scheme.outputFolder = dir.str("out");
        storeSchemes({scheme});
    }

    int run(const std::vector<std::string>& args) {
        CapturedStderr captured;
        const int status = runCommand(args);
        err = captured.text();
        return status;
    }

    TempDir dir;
    std::string storePath;
    std::string err;
};

Scheme renamingScheme(const std::string& outputFolder) {
    Scheme s;
    s.name = "重命名";
    s.outputFolder = outputFolder;
    s.namingMode = stored(NamingMode::Rename);
    s.renamePrefix = "Img";
    s.renameStartNumber = 1;
    s.convertEnabled = s.formatConvertEnabled = 1;
    s.outputFormat = stored(OutputFormat::Png);
    s.stampEnabled = 1;
    s.stampKind = stored(DecorationKind::Custom);
    return s;
}

TEST_F(RunCommandTest, MixedFolderGetsRunOrderNamesAndReportsTheBrokenFile) {
    const auto order = writeMixedFolder(dir.path() / "in");
    Scheme scheme = renamingScheme(dir.str("out"));  // created by the run
    scheme.stampPath = dir.str("no-such-stamp.png");
    storeSchemes({scheme});

    const int status =
        run({"--scheme", "重命名", "--app-folder", dir.str("app"), "--jobs", "2", dir.str("in")});
    EXPECT_EQ(status, kExitSomeFailed) << err;

    const size_t brokenIndex = 3;  // p00.jpg
    for (size_t i = 0; i < order.size(); ++i) {
        const auto output = dir.path() / "out" / ("Img_" + std::to_string(i + 1) + ".png");
        const std::string source = dir.str("in/" + order[i]);
        EXPECT_NE(err.find("[" + std::to_string(i + 1) + "/12] " + source + "\n"),
                  std::string::npos)
            << order[i];
        if (i + 1 == brokenIndex) {
            EXPECT_FALSE(std::filesystem::exists(output));
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(output)) << order[i] << "\n" << err;
        const Bitmap written = Bitmap::new_from_file(output.c_str());
        EXPECT_EQ(written.width(), 64) << order[i];
        EXPECT_EQ(written.height(), 48) << order[i];
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "out"), {}), 11);
    const size_t summary = err.find("11 processed (0 with warnings), 1 failed\n");
    ASSERT_NE(summary, std::string::npos) << err;
    const std::string failures = err.substr(summary);
    EXPECT_NE(failures.find("\n  "), std::string::npos) << failures;
    EXPECT_NE(failures.find(dir.str("in/p00.jpg")), std::string::npos) << failures;
    EXPECT_EQ(countOf(err, "印章图像 " + scheme.stampPath + " 不存在。\n"), 11u) << err;
    EXPECT_EQ(err.find("deep.png"), std::string::npos);
}

TEST_F(RunCommandTest, OneJobAndTwoJobsWriteTheSameFiles) {
    writeMixedFolder(dir.path() / "in");
    Scheme one = renamingScheme(dir.str("one"));
    one.name = "one";
    one.stampEnabled = 0;
    one.resizeEnabled = 1;
    one.resizeMode = stored(ResizeMode::Width);
    one.resizeValue = 40;
    Scheme two = one;
    two.name = "two";
    two.outputFolder = dir.str("two");
    storeSchemes({one, two});

    const std::string app = dir.str("app");
    EXPECT_EQ(run({"--scheme", "one", "--app-folder", app, "--jobs", "1", dir.str("in")}),
              kExitSomeFailed);
    EXPECT_EQ(run({"--scheme", "two", "--app-folder", app, "--jobs", "2", dir.str("in")}),
              kExitSomeFailed);
    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "one")) {
        const auto twin = dir.path() / "two" / entry.path().filename();
        ASSERT_TRUE(std::filesystem::exists(twin)) << twin;
        const Bitmap a = Bitmap::new_from_file(entry.path().c_str());
        const Bitmap b = Bitmap::new_from_file(twin.c_str());
        EXPECT_EQ(a.width(), 40);
        EXPECT_EQ((a - b).abs().max(), 0.0) << entry.path();
        ++compared;
    }
    EXPECT_EQ(compared, 11u);
}

TEST_F(RunCommandTest, SingleFilesAndStoreOption) {
    std::filesystem::create_directory(dir.path() / "in");
    writePicture(dir.str("in/one.png"), "");
    Scheme scheme;
    scheme.name = "keep";
    scheme.outputFolder = dir.str("out");
    SchemeStore store(dir.str("elsewhere"));
    store.setPath(dir.str("other.bis"));
    testing::writeBytes(store.path(), "");
    store.append(scheme);
    RecordingReporter reporter;
    ASSERT_TRUE(store.save(reporter));

    const int status = run({"--store", dir.str("other.bis"), "--scheme", "keep",
                            dir.str("in/one.png"), dir.str("in/absent.png")});
    EXPECT_EQ(status, kExitSomeFailed);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "one.png"));
    EXPECT_NE(err.find("1 processed (0 with warnings), 1 failed"), std::string::npos) << err;
    EXPECT_NE(err.find("图像 " + dir.str("in/absent.png") + " 不存在。"), std::string::npos);

    EXPECT_EQ(run({"--store", dir.str("other.bis"), "--scheme", "keep", dir.str("in/one.png")}),
              kExitOk);
    EXPECT_NE(err.find("1 processed (0 with warnings), 0 failed"), std::string::npos) << err;
}

TEST_F(RunCommandTest, UsageAndStoreErrorsExitWithTwo) {
    Scheme scheme;
    scheme.name = "s";
    scheme.outputFolder = dir.str("out");
    storeSchemes({scheme});
    const std::string app = dir.str("app");
    EXPECT_EQ(run({dir.str()}), kExitUsage);
    EXPECT_EQ(run({"--scheme", "s", "--app-folder", app}), kExitUsage);
    EXPECT_EQ(run({"--scheme", "s", "--app-folder", app, "--jobs", "0", "x"}), kExitUsage);
    EXPECT_EQ(run({"--scheme", "s", "--app-folder", app, "--jobs", "two", "x"}), kExitUsage);
    EXPECT_EQ(run({"--scheme", "s", "--app-folder", app, "--colour", "x"}), kExitUsage);
    EXPECT_EQ(run({"--scheme", "nobody", "--app-folder", app, "x"}), kExitUsage);
    EXPECT_NE(err.find("nobody"), std::string::npos);
    EXPECT_EQ(run({"--scheme", "s", "--app-folder", dir.str("no-app"), "x"}), kExitUsage);
    EXPECT_NE(err.find("图像处理方案文件不存在，无法加载。"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out"));
}

TEST_F(RunCommandTest, UnknownSchemeListsTheNamesTheStoreHolds) {
    Scheme web;
    web.name = "网页发布 1600";
    Scheme thumbs;
    thumbs.name = "缩略图 50%";
    storeSchemes({web, thumbs});
    EXPECT_EQ(run({"--scheme", "网页", "--app-folder", dir.str("app"), "x"}), kExitUsage);
    EXPECT_NE(err.find("no scheme named \"网页\" in " + storePath +
                       "\n"
                       "the store holds:\n  网页发布 1600\n  缩略图 50%\n"),
              std::string::npos)
        << err;
    storeSchemes({});
    EXPECT_EQ(run({"--scheme", "网页", "--app-folder", dir.str("app"), "x"}), kExitUsage);
    EXPECT_NE(err.find("the store holds no scheme\n"), std::string::npos) << err;
}

// A damaged picture that still decodes is written and counted with a
// warning; the library's own lines never reach the terminal.
TEST_F(RunCommandTest, DecoderWarningsAreListedAfterTheRun) {
    std::filesystem::create_directories(dir.path() / "in");
    writePicture(dir.str("in/good.png"), "");
    gradient(300, 200).jpegsave(dir.str("whole.jpg").c_str());
    std::string bytes = testing::readBytes(dir.str("whole.jpg"));
    bytes.replace(bytes.size() / 2, 2, "\xFF\xD3");  // a restart marker where none belongs
    testing::writeBytes(dir.str("in/damaged.jpg"), bytes);
    testing::writeBytes(dir.str("in/broken.jpg"), "\xFF\xD8\xFF\xE0 broken");
    storeKeepScheme();

    testing::CapturedDescriptor terminal(2);
    const int status = run({"--scheme", "keep", "--app-folder", dir.str("app"), dir.str("in")});
    const std::string raw = terminal.release();
    EXPECT_EQ(status, kExitSomeFailed);
    EXPECT_EQ(raw, "");
    const size_t summary = err.find("2 processed (1 with warnings), 1 failed\n");
    ASSERT_NE(summary, std::string::npos) << err;
    const std::string after = err.substr(summary);
    EXPECT_NE(after.find("  无法读取图像 " + dir.str("in/broken.jpg") + "："), std::string::npos)
        << after;
    EXPECT_NE(after.find("  " + dir.str("in/damaged.jpg") + "："), std::string::npos) << after;
    EXPECT_EQ(after.find("good.png"), std::string::npos) << after;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "damaged.jpg"));
}

// A caption running off the picture's edge: the file is written, counted
// with a warning naming the caption and the side cut, and reported "warned".
TEST_F(RunCommandTest, CutCaptionIsWrittenAndWarned) {
    writePicture(dir.str("wide.png"), "");
    Scheme scheme;
    scheme.name = "cut";
    scheme.outputFolder = dir.str("out");
    scheme.textEnabled = 1;
    scheme.textContent = "Varnetto";
    scheme.textPosX = 0.5f;
    scheme.textPosY = 0.1f;
    storeSchemes({scheme});
    const std::string report = dir.str("report.jsonl");
    EXPECT_EQ(run({"--scheme", "cut", "--app-folder", dir.str("app"), "--report", report,
                   dir.str("wide.png")}),
              kExitOk);
    const size_t summary = err.find("1 processed (1 with warnings), 0 failed\n");
    ASSERT_NE(summary, std::string::npos) << err;
    const std::string said =
        "  " + dir.str("wide.png") + "：文字超出图像范围（“Varnetto”，右边超出 ";
    EXPECT_NE(err.find(said, summary), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "wide.png"));

    std::istringstream lines(testing::readBytes(report));
    std::string first;
    ASSERT_TRUE(std::getline(lines, first));
    const nlohmann::json line = nlohmann::json::parse(first);
    EXPECT_EQ(line.at("status"), "warned") << line;
    EXPECT_NE(
        line.at("warnings").get<std::string>().find("文字超出图像范围（“Varnetto”，右边超出 "),
        std::string::npos)
        << line;
}

TEST_F(RunCommandTest, JobsAreCappedAndSaidSo) {
    writePicture(dir.str("one.png"), "");
    storeKeepScheme();
    const int cap = maxBatchWorkers();
    EXPECT_EQ(run({"--scheme", "keep", "--app-folder", dir.str("app"), "--jobs", "100000",
                   dir.str("one.png")}),
              kExitOk);
    EXPECT_NE(err.find("--jobs 100000: using " + std::to_string(cap)), std::string::npos) << err;
    EXPECT_EQ(run({"--scheme", "keep", "--app-folder", dir.str("app"), "--jobs",
                   std::to_string(cap), dir.str("one.png")}),
              kExitOk);
    EXPECT_EQ(err.find("--jobs"), std::string::npos) << err;
    for (const char* refused : {"0", "-3", "2x"}) {
        EXPECT_EQ(run({"--scheme", "keep", "--app-folder", dir.str("app"), "--jobs", refused,
                       dir.str("one.png")}),
                  kExitUsage);
        EXPECT_NE(err.find("usage:"), std::string::npos) << err;
    }
}

// Temporary files that a killed run left in every folder a run writes into
// (a recursive run's subfolders too) are cleared by the next run; hidden
// files of the user's stay, also those shaped like the oldest naming.
TEST_F(RunCommandTest, ARunClearsTemporariesThatAKilledRunLeft) {
    namespace fs = std::filesystem;
    fs::create_directories(dir.path() / "in" / "sub");
    writePicture(dir.str("in/one.png"), "");
    writePicture(dir.str("in/sub/two.png"), "");
    storeKeepScheme();
    fs::create_directories(dir.path() / "out" / "sub");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (const char* name : {"out/one.png", "out/sub/two.png"}) {
            auto* left = new PendingFile(dir.path() / name);
            testing::writeBytes(left->tempPath(), std::string(100000, 'h'));
        }
        ::_exit(0);  // as if killed: nothing cleans up
    }
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    testing::writeBytes(dir.path() / "out" / ".~mine.png", "the user's");
    testing::writeBytes(dir.path() / "out" / "sub" / ".~minutes.2023-1.pdf", "the user's");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "out"))
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));

    EXPECT_EQ(
        run({"--scheme", "keep", "--recursive", "--app-folder", dir.str("app"), dir.str("in")}),
        kExitOk);
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "out"))
        left.push_back(fs::relative(entry.path(), dir.path() / "out").string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".~mine.png", "one.png", "sub",
                                              "sub/.~minutes.2023-1.pdf", "sub/two.png"}));
}

// SIGTERM and SIGHUP end a run as Ctrl+C does: the running image finishes,
// no new one starts, nothing half-written is left and the summary is printed.
TEST_F(RunCommandTest, TerminationSignalsEndTheRunCleanly) {
    std::filesystem::create_directories(dir.path() / "in");
    for (int i = 0; i < 12; ++i)
        gradient(1400, 1000).pngsave(dir.str("in/p" + std::to_string(i) + ".png").c_str());
    Scheme scheme;
    scheme.name = "slow";
    scheme.outputFolder = dir.str("out");
    scheme.enhanceEnabled = scheme.despeckleEnabled = 1;
    scheme.despeckleValue = 10;
    storeSchemes({scheme});
    const std::string cli = std::string(VARNETTO_BIN_DIR) + "/varnetto-cli";

    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        std::filesystem::remove_all(dir.path() / "out");
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(pipeFds[1], 2);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            ::execl(cli.c_str(), cli.c_str(), "run", "--scheme", "slow", "--store",
                    storePath.c_str(), "--jobs", "2", dir.str("in").c_str(), nullptr);
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        std::string printed;
        char buffer[4096];
        bool signalled = false;
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            printed.append(buffer, n);
            if (!signalled && printed.find("[2/12]") != std::string::npos) {
                ::kill(child, signal);
                signalled = true;
            }
        }
        ::close(pipeFds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself\n" << printed;
        EXPECT_EQ(WEXITSTATUS(status), kExitSomeFailed) << printed;
        EXPECT_NE(printed.find(" processed ("), std::string::npos) << printed;
        EXPECT_NE(printed.find("interrupted: "), std::string::npos) << printed;
        int written = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out")) {
            EXPECT_NE(entry.path().filename().string().rfind(".~", 0), 0u) << entry.path();
            ++written;
        }
        EXPECT_LT(written, 12);
    }
}

TEST(RunArguments, ParsesOptionsInAnyOrder) {
    const RunRequest r =
        parseRunArguments({"a.jpg", "--jobs", "3", "--scheme", "S", "--", "--odd.jpg"});
    EXPECT_EQ(r.schemeNames, std::vector<std::string>{"S"});
    EXPECT_EQ(r.jobs, 3);
    EXPECT_FALSE(r.storePath);
    EXPECT_EQ(r.inputs, (std::vector<std::string>{"a.jpg", "--odd.jpg"}));
    EXPECT_THROW(parseRunArguments({"--scheme"}), std::invalid_argument);
    EXPECT_THROW(parseRunArguments({"--scheme", "S", "--jobs", "-1", "a"}), std::invalid_argument);
    const RunRequest scaled =
        parseRunArguments({"--recursive", "d", "--shard", "2/5", "--scheme", "S", "--dry-run"});
    EXPECT_EQ(std::pair(scaled.shard.number, scaled.shard.count), std::pair(2, 5));
    EXPECT_TRUE(scaled.dryRun);
    EXPECT_TRUE(scaled.recursive);
    EXPECT_EQ(scaled.inputs, std::vector<std::string>{"d"});
    EXPECT_FALSE(r.dryRun || r.recursive);
    EXPECT_THROW(parseRunArguments({"--scheme", "S", "--shard", "5/4", "a"}),
                 std::invalid_argument);
}

}  // namespace
}  // namespace varnetto::cli
