#include "cli/Commands.h"
#include "imaging/CImageBox.h"
#include "processing/PixelSupport.h"
#include "schemes/SchemeStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <iostream>
#include <map>
#include <sstream>

namespace varnetto::cli {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A gradient, so that every resampler and encoder setting shows in the bytes.
void writeGradient(const std::string& path, int width, int height) {
    const Bitmap x = Bitmap::xyz(width, height);
    const Bitmap r = x.extract_band(0) * (255.0 / width);
    const Bitmap g = x.extract_band(1) * (255.0 / height);
    r.bandjoin(g).bandjoin(r * 0.5 + 60).cast(VIPS_FORMAT_UCHAR).write_to_file(path.c_str());
}

// Every file under folder, by its path relative to it, with its bytes.
std::map<std::string, std::string> filesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    if (!fs::exists(folder, error)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = testing::readBytes(entry.path());
    return files;
}

class MultiSchemeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "app" / "Schemes");
        testing::writeBytes(dir.str("app/Schemes/Schemes.bis"), "");
        fs::create_directories(dir.path() / "app" / "Borders");
        const std::pair<int, int> sizes[8] = {{20, 5}, {10, 20}, {20, 5}, {10, 20},
                                              {8, 8},  {8, 8},   {8, 8},  {8, 8}};
        for (int i = 0; i < 8; ++i)
            testing::writeBmp(testing::solid(sizes[i].first, sizes[i].second, {90, 40, 10}),
                              dir.str("app/Borders/frame_" + std::to_string(i + 1) + ".bmp"));
        fs::create_directories(dir.path() / "in");
        writeGradient(dir.str("in/a.jpg"), 640, 400);
        writeGradient(dir.str("in/b.jpg"), 300, 500);
        writeGradient(dir.str("in/c.png"), 200, 120);
    }

    // web: the bench's resize-and-recompress; thumb: small and renumbered;
    // framed: a border, written as PNG. Each writes into root-NAME.
    std::vector<Scheme> schemesIn(const std::string& root) const {
        Scheme web;
        web.name = "web";
        web.resizeEnabled = 1;
        web.resizeMode = stored(ResizeMode::Width);
        web.resizeValue = 160;
        web.resizeIncludesBorder = 0;
        web.resampleFilter = stored(ResampleFilter::Lanczos);
        web.jpegQuality = 85;
        Scheme thumb = web;
        thumb.name = "thumb";
        thumb.resizeValue = 40;
        thumb.namingMode = stored(NamingMode::Rename);
        thumb.renamePrefix = "t";
        thumb.renameStartNumber = 5;
        Scheme framed;
        framed.name = "framed";
        framed.borderEnabled = 1;
        framed.borderName = "frame";
        framed.formatConvertEnabled = 1;
        framed.outputFormat = stored(OutputFormat::Png);
        std::vector<Scheme> schemes{web, thumb, framed};
        for (Scheme& s : schemes) s.outputFolder = dir.str(root + "-" + s.name);
        return schemes;
    }

    void store(const std::vector<Scheme>& schemes) {
        SchemeStore store(dir.str("app"));
        for (const Scheme& s : schemes) store.append(s);
        testing::RecordingReporter reporter;
        ASSERT_TRUE(store.save(reporter));
    }

    int run(std::vector<std::string> args) {
        args.insert(args.end(), {"--app-folder", dir.str("app"), dir.str("in")});
        std::ostringstream captured;
        std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
        const int status = runCommand(args);
        std::cerr.rdbuf(previous);
        err = captured.str();
        return status;
    }

    TempDir dir;
    std::string err;
};

TEST_F(MultiSchemeRunTest, SchemesInOneRunWriteTheBytesOfSeparateRuns) {
    const std::vector<std::vector<std::string>> combinations = {
        {"web", "thumb"}, {"web", "thumb", "framed"}, {"framed", "web"}};
    for (const auto& names : combinations) {
        SCOPED_TRACE(names.front() + "+" + names.back());
        for (const char* root : {"alone-", "together-"})
            for (const char* name : {"web", "thumb", "framed"})
                fs::remove_all(dir.path() / (std::string(root) + name));
        store(schemesIn("alone"));
        for (const std::string& name : names) ASSERT_EQ(run({"--scheme", name}), kExitOk) << err;
        store(schemesIn("together"));
        std::vector<std::string> args;
        for (const std::string& name : names) args.insert(args.end(), {"--scheme", name});
        ASSERT_EQ(run(args), kExitOk) << err;
        EXPECT_NE(err.find(std::to_string(3 * names.size()) + " processed"), std::string::npos)
            << err;
        for (const std::string& name : names) {
            const auto alone = filesUnder(dir.path() / ("alone-" + name));
            EXPECT_EQ(alone.size(), 3u) << name;
            EXPECT_TRUE(alone == filesUnder(dir.path() / ("together-" + name))) << name;
        }
    }
}

TEST_F(MultiSchemeRunTest, AClashBetweenSchemesIsRefusedBeforeAnythingIsWritten) {
    std::vector<Scheme> schemes = schemesIn("out");
    // thumb renamed its outputs; named as the sources, they meet web's.
    schemes[1].namingMode = stored(NamingMode::KeepName);
    schemes[1].outputFolder = schemes[0].outputFolder;
    store(schemes);
    EXPECT_EQ(run({"--scheme", "web", "--scheme", "framed", "--scheme", "thumb"}), kExitUsage);
    EXPECT_NE(err.find("web"), std::string::npos) << err;
    EXPECT_NE(err.find("thumb"), std::string::npos) << err;
    EXPECT_NE(err.find(dir.str("out-web/a.jpg")), std::string::npos) << err;
    for (const char* folder : {"out-web", "out-thumb", "out-framed"})
        EXPECT_FALSE(fs::exists(dir.path() / folder)) << folder;
}

TEST_F(MultiSchemeRunTest, ReportLinesParseAndTheirTotalsMatchTheSummary) {
    testing::writeBytes(dir.str("in/broken.jpg"), std::string("\xFF\xD8\xFF\xE0 broken", 11));
    store(schemesIn("out"));
    const std::string report = dir.str("report.jsonl");
    EXPECT_EQ(run({"--scheme", "web", "--scheme", "thumb", "--report", report}), kExitSomeFailed);
    EXPECT_NE(err.find("6 processed (0 with warnings), 2 failed"), std::string::npos) << err;

    std::istringstream lines(testing::readBytes(report));
    std::map<std::string, int> statuses;
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 9u);
    for (size_t i = 0; i + 1 < objects.size(); ++i) {
        const nlohmann::json& o = objects[i];
        const std::string status = o.at("status");
        ++statuses[status];
        EXPECT_EQ(o.contains("reason"), status == "failed") << o;
        if (status == "processed") {
            EXPECT_EQ(o.at("bytes").get<std::uintmax_t>(),
                      fs::file_size(o.at("output").get<std::string>()))
                << o;
        }
        EXPECT_TRUE(o.at("scheme") == "web" || o.at("scheme") == "thumb") << o;
        EXPECT_GE(o.at("milliseconds").get<double>(), 0.0);
    }
    EXPECT_EQ(statuses["processed"], 6);
    EXPECT_EQ(statuses["failed"], 2);
    const nlohmann::json& totals = objects.back().at("totals");
    EXPECT_EQ(totals.at("processed"), 6);
    EXPECT_EQ(totals.at("failed"), 2);
    EXPECT_EQ(totals.at("skipped"), 0);
    EXPECT_EQ(totals.at("warned"), 0);
    EXPECT_EQ(totals.at("notRun"), 0);
}

}  // namespace
}  // namespace varnetto::cli
