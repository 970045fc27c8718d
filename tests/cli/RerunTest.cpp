#include "cli/Commands.h"
#include "imaging/CImageBox.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnetto::cli {
namespace {

using testing::readBytes;
using testing::RecordingReporter;
using testing::TempDir;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

void writePicture(const fs::path& path, int seed, int width = 48, int height = 32) {
    const Bitmap xy = Bitmap::xyz(width + seed % 5, height);
    const Bitmap picture = Bitmap::bandjoin({xy[0] * (3 + seed), xy[1] * 5, xy[0] + seed * 20});
    fs::create_directories(path.parent_path());
    (picture % 256).cast(VIPS_FORMAT_UCHAR).write_to_file(path.c_str());
}

std::map<std::string, std::string> filesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = readBytes(entry);
    return files;
}

long long modifiedNs(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return -1;
    return status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec;
}

// Polls condition until it holds or timeout passes; true when it held.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// varnetto-cli in a process of its own, its stderr and stdout in a log.
class CliProcess {
  public:
    CliProcess(const std::vector<std::string>& args, std::string log) : log_(std::move(log)) {
        const std::string cli = std::string(VARNETTO_BIN_DIR) + "/varnetto-cli";
        std::vector<char*> argv{const_cast<char*>(cli.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::execv(cli.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~CliProcess() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string log() const { return fs::exists(log_) ? readBytes(log_) : std::string(); }
    void terminate() const { ::kill(pid_, SIGTERM); }
    // The exit status, or -1 when it did not exit by itself.
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    std::string log_;
    pid_t pid_ = -1;
    bool waited_ = false;
};

class RerunTest : public ::testing::Test {
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

    Scheme webScheme(const std::string& name, const std::string& folder, bool keepName) {
        Scheme s;
        s.name = name;
        s.outputFolder = dir.str(folder);
        s.namingMode = stored(keepName ? NamingMode::KeepName : NamingMode::Rename);
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

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--app-folder", dir.str("app")});
        std::ostringstream err;
        std::streambuf* previous = std::cerr.rdbuf(err.rdbuf());
        const int status = runCommand(args);
        std::cerr.rdbuf(previous);
        stderrText = err.str();
        return status;
    }

    std::vector<std::string> cliArgs(const std::string& command, std::vector<std::string> rest) {
        rest.insert(rest.begin(), {command, "--app-folder", dir.str("app")});
        return rest;
    }

    TempDir dir;
    std::string stderrText;
};

TEST_F(RerunTest, EachExistingModeTreatsAnOutputThatIsThere) {
    writePicture(dir.path() / "in" / "done.png", 1);
    writePicture(dir.path() / "in" / "changed.png", 2);
    writePicture(dir.path() / "in" / "new.png", 3);
    storeSchemes({webScheme("web", "out", true)});
    struct Case {
        const char* mode;
        std::vector<std::string> written;   // besides what was there
        std::vector<std::string> keptMade;  // made outputs left as they were
        const char* summary;
    };
    const std::vector<Case> cases = {
        {"replace",
         {"changed.webp", "done.webp", "new.webp"},
         {},
         "3 processed (0 with warnings), 0 failed"},
        {"skip",
         {"new.webp"},
         {"changed.webp", "done.webp"},
         "1 processed (0 with warnings), 2 skipped, 0 failed"},
        {"newer",
         {"changed.webp", "new.webp"},
         {"done.webp"},
         "2 processed (0 with warnings), 1 skipped, 0 failed"},
        {"number",
         {"changed (2).webp", "done (2).webp", "new.webp"},
         {"changed.webp", "done.webp"},
         "3 processed (0 with warnings), 0 failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        fs::remove_all(dir.path() / "out");
        fs::create_directories(dir.path() / "out");
        // done.webp is younger than its source, changed.webp older.
        testing::writeBytes(dir.path() / "out" / "done.webp", "made");
        testing::writeBytes(dir.path() / "out" / "changed.webp", "made");
        fs::last_write_time(dir.path() / "out" / "changed.webp",
                            fs::last_write_time(dir.path() / "in" / "changed.png") - 1h);
        const auto before = filesUnder(dir.path() / "out");

        EXPECT_EQ(run({"--scheme", "web", "--existing", c.mode, dir.str("in")}), kExitOk)
            << stderrText;
        EXPECT_NE(stderrText.find(std::string(c.summary) + "\n"), std::string::npos) << stderrText;
        auto after = filesUnder(dir.path() / "out");
        for (const std::string& kept : c.keptMade) {
            EXPECT_EQ(after[kept], "made") << kept;
            after.erase(kept);
        }
        std::vector<std::string> written;
        for (const auto& [name, bytes] : after) {
            EXPECT_NE(bytes, "made") << name;
            EXPECT_EQ(Bitmap::new_from_file((dir.path() / "out" / name).c_str()).width(), 24);
            written.push_back(name);
        }
        EXPECT_EQ(written, c.written);
    }

    EXPECT_EQ(run({"--scheme", "web", "--existing", "sometimes", dir.str("in")}), kExitUsage);
    EXPECT_NE(stderrText.find("--existing sometimes"), std::string::npos) << stderrText;
}

// A run stopped by SIGTERM and started again with newer leaves the files one
// whole run writes: the finished ones stay as they are, the rest are made.
TEST_F(RerunTest, RunStoppedAndResumedWithNewerWritesTheFilesOfOneRun) {
    constexpr int kPictures = 24;
    // Large enough that one picture takes a while to decode; links save the
    // test from writing them all.
    writePicture(dir.path() / "big.png", 5, 2400, 1800);
    fs::create_directories(dir.path() / "in");
    for (int i = 0; i < kPictures; ++i)
        fs::create_hard_link(dir.path() / "big.png",
                             dir.path() / "in" / ("p" + std::to_string(100 + i) + ".png"));
    storeSchemes({webScheme("whole", "whole", false), webScheme("resumed", "resumed", false)});
    ASSERT_EQ(run({"--scheme", "whole", dir.str("in")}), kExitOk) << stderrText;
    const auto whole = filesUnder(dir.path() / "whole");
    ASSERT_EQ(whole.size(), static_cast<size_t>(kPictures));

    CliProcess stopped(cliArgs("run", {"--scheme", "resumed", "--jobs", "1", dir.str("in")}),
                       dir.str("stopped.log"));
    ASSERT_TRUE(eventually([&] { return filesUnder(dir.path() / "resumed").size() >= 2; }));
    stopped.terminate();
    EXPECT_EQ(stopped.wait(), kExitSomeFailed) << stopped.log();
    const auto done = filesUnder(dir.path() / "resumed");
    ASSERT_LT(done.size(), whole.size()) << "the run ended before it was stopped";
    std::map<std::string, long long> doneTimes;
    for (const auto& [name, bytes] : done) {
        EXPECT_EQ(bytes, whole.at(name)) << name;
        doneTimes[name] = modifiedNs(dir.path() / "resumed" / name);
    }

    ASSERT_EQ(run({"--scheme", "resumed", "--existing", "newer", dir.str("in")}), kExitOk)
        << stderrText;
    EXPECT_NE(stderrText.find(std::to_string(whole.size() - done.size()) +
                              " processed (0 with warnings), " + std::to_string(done.size()) +
                              " skipped, 0 failed"),
              std::string::npos)
        << stderrText;
    EXPECT_TRUE(filesUnder(dir.path() / "resumed") == whole);
    for (const auto& [name, time] : doneTimes)
        EXPECT_EQ(modifiedNs(dir.path() / "resumed" / name), time) << name;
}

// Shards of one run started together under number: pictures whose outputs
// share a name take the numbers one by one, none ever replaced.
TEST_F(RerunTest, NumberUnderThreeShardsAtOnceNeverReplaces) {
    int seed = 0;
    // Four names of three formats each: every shard gets one picture of
    // each name.
    for (const char* stem : {"a", "b", "c", "d"})
        for (const char* extension : {".png", ".tif", ".bmp"})
            writePicture(dir.path() / "in" / (std::string(stem) + extension), ++seed);
    storeSchemes({webScheme("web", "out", true), webScheme("reference", "ref", true)});
    ASSERT_EQ(run({"--scheme", "reference", "--existing", "number", dir.str("in")}), kExitOk)
        << stderrText;
    std::vector<std::string> expected;
    for (const auto& [name, bytes] : filesUnder(dir.path() / "ref")) expected.push_back(bytes);
    ASSERT_EQ(expected.size(), 12u);
    std::sort(expected.begin(), expected.end());

    ASSERT_EQ(run({"--scheme", "web", dir.str("in")}), kExitOk) << stderrText;
    const auto first = filesUnder(dir.path() / "out");
    ASSERT_EQ(first.size(), 4u);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::unique_ptr<CliProcess>> shards;
        for (const char* shard : {"1/3", "2/3", "3/3"})
            shards.push_back(std::make_unique<CliProcess>(
                cliArgs("run", {"--scheme", "web", "--existing", "number", "--shard", shard,
                                dir.str("in")}),
                dir.str("shard" + std::to_string(shards.size()) + ".log")));
        for (auto& shard : shards) EXPECT_EQ(shard->wait(), kExitOk) << shard->log();
    }
    auto now = filesUnder(dir.path() / "out");
    ASSERT_EQ(now.size(), 4u + 2 * 12u);
    std::vector<std::string> numbered;
    for (const auto& [name, bytes] : now) {
        if (first.count(name)) {
            EXPECT_EQ(bytes, first.at(name)) << name;
        } else {
            EXPECT_NE(name.find(" ("), std::string::npos) << name;
            numbered.push_back(bytes);
        }
    }
    std::vector<std::string> twice;
    for (int round = 0; round < 2; ++round)
        twice.insert(twice.end(), expected.begin(), expected.end());
    std::sort(twice.begin(), twice.end());
    std::sort(numbered.begin(), numbered.end());
    EXPECT_TRUE(numbered == twice) << "numbered files are not the pictures' outputs";
}

// A watch over a folder with its output folder inside: pictures are taken
// once they are complete, never while written, temporary names are passed
// over, the outputs do not come back as pictures, and a restart finds
// everything done.
TEST_F(RerunTest, WatchTakesCompletePicturesOnceAndARestartRedoesNothing) {
    storeSchemes({webScheme("web", "in/out", true), webScheme("reference", "ref", true)});
    for (const char* name : {"first.png", "slow.png", "moved.png", "last.png"})
        writePicture(dir.path() / "src" / name, static_cast<int>(std::string(name).size()));
    ASSERT_EQ(run({"--scheme", "reference", dir.str("src")}), kExitOk) << stderrText;
    const auto reference = filesUnder(dir.path() / "ref");
    const auto bytesOf = [&](const char* name) { return readBytes(dir.path() / "src" / name); };
    const fs::path in = dir.path() / "in";
    const fs::path out = in / "out";
    fs::create_directories(in);
    fs::copy_file(dir.path() / "src" / "first.png", in / "first.png");
    const std::vector<std::string> args{"--scheme", "web", "--recursive",
                                        "--jobs",   "1",   dir.str("in")};

    CliProcess watch(cliArgs("watch", args), dir.str("watch.log"));
    ASSERT_TRUE(eventually([&] {
        return watch.log().find("watching " + dir.str("in") + "\n") != std::string::npos;
    })) << watch.log();
    EXPECT_EQ(readBytes(out / "first.webp"), reference.at("first.webp"));

    // Half the picture, a pause longer than the watch gathers events for,
    // then the rest.
    const std::string slow = bytesOf("slow.png");
    const int fd = ::open((in / "slow.png").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, slow.data(), slow.size() / 2), static_cast<ssize_t>(slow.size() / 2));
    EXPECT_FALSE(eventually([&] { return fs::exists(out / "slow.webp"); }, 1500ms));
    const size_t rest = slow.size() - slow.size() / 2;
    ASSERT_EQ(::write(fd, slow.data() + slow.size() / 2, rest), static_cast<ssize_t>(rest));
    ::close(fd);
    ASSERT_TRUE(eventually([&] { return fs::exists(out / "slow.webp"); })) << watch.log();
    EXPECT_EQ(readBytes(out / "slow.webp"), reference.at("slow.webp"));

    // A download's temporary name, renamed into place when complete.
    testing::writeBytes(in / "moved.png.part", bytesOf("moved.png"));
    fs::rename(in / "moved.png.part", in / "moved.png");
    testing::writeBytes(in / "last.png", bytesOf("last.png"));
    ASSERT_TRUE(eventually([&] { return fs::exists(out / "last.webp"); })) << watch.log();
    ASSERT_TRUE(eventually([&] { return fs::exists(out / "moved.webp"); })) << watch.log();
    EXPECT_EQ(readBytes(out / "moved.webp"), reference.at("moved.webp"));
    const std::string log = watch.log();
    for (const char* name : {"first.png", "slow.png", "moved.png", "last.png"})
        EXPECT_EQ(occurrences(log, "] " + (in / name).string() + "\n"), 1u) << name << log;
    EXPECT_EQ(log.find(".part"), std::string::npos) << log;
    EXPECT_EQ(log.find("] " + out.string()), std::string::npos) << log;
    watch.terminate();
    EXPECT_EQ(watch.wait(), kExitOk) << watch.log();

    std::map<std::string, long long> times;
    for (const auto& [name, bytes] : filesUnder(out)) times[name] = modifiedNs(out / name);
    ASSERT_EQ(times.size(), 4u);
    CliProcess again(cliArgs("watch", args), dir.str("again.log"));
    ASSERT_TRUE(eventually([&] {
        return again.log().find("watching " + dir.str("in") + "\n") != std::string::npos;
    })) << again.log();
    EXPECT_NE(again.log().find("web: 0 processed (0 with warnings), 4 skipped, 0 failed"),
              std::string::npos)
        << again.log();
    again.terminate();
    EXPECT_EQ(again.wait(), kExitOk);
    for (const auto& [name, time] : times) EXPECT_EQ(modifiedNs(out / name), time) << name;
}

}  // namespace
}  // namespace varnetto::cli
