#include "StoreBytes.h"
#include "cli/Commands.h"
#include "schemes/SchemeStore.h"
#include "schemes/SchemeViewRows.h"
#include "schemes/StoreFormat.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <iostream>
#include <sstream>

using namespace varnetto;
using namespace varnetto::testing;
using varnetto::cli::kExitOk;
using varnetto::cli::kExitUsage;
namespace fs = std::filesystem;

namespace {

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

// Runs a command in-process with stdout and stderr captured.
template <class Command>
CommandResult run(Command command, std::vector<std::string> args) {
    std::ostringstream out, err;
    auto* oldOut = std::cout.rdbuf(out.rdbuf());
    auto* oldErr = std::cerr.rdbuf(err.rdbuf());
    int status = -1;
    try {
        status = command(args);
    } catch (const std::invalid_argument& e) {
        err << e.what();
        status = kExitUsage;
    }
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    return {status, out.str(), err.str()};
}

class StoreCommands : public ::testing::Test {
  protected:
    std::string storeFile(const std::string& name = "store.bis") const { return dir.str(name); }
    TempDir dir;
};

}  // namespace

TEST_F(StoreCommands, ListPrintsNamesInStoreOrder) {
    writeBytes(
        storeFile(),
        StoreBytes().header().i32(3).scheme("Web").scheme("\xB4\xF2\xD3\xA1").scheme("Web").str());
    const auto result = run(cli::listCommand, {"--store", storeFile()});
    EXPECT_EQ(result.status, kExitOk);
    EXPECT_EQ(result.out, "Web\n打印\nWeb\n");
}

TEST_F(StoreCommands, MissingOrDamagedStoreIsAStoreError) {
    auto result = run(cli::listCommand, {"--store", storeFile("none.bis")});
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_NE(result.err.find("图像处理方案文件不存在，无法加载。"), std::string::npos);

    const std::string full = StoreBytes().header().i32(2).scheme("a").scheme("b").str();
    writeBytes(storeFile(), full.substr(0, full.size() - 1));
    result = run(cli::exportCommand, {"--store", storeFile()});
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_NE(result.err.find("只加载了 1 个处理方案"), std::string::npos);
    EXPECT_EQ(result.out, "");

    EXPECT_EQ(run(cli::listCommand, {"--store"}).status, kExitUsage);
    EXPECT_EQ(run(cli::listCommand, {"extra"}).status, kExitUsage);
}

TEST_F(StoreCommands, ExportThenImportReproducesTheFileByteForByte) {
    StoreBytes file;
    file.header(123456, "\xD7\xA2\xCA\xCD").i32(4);  // 注释
    file.scheme("\xCD\xF8\xD2\xB3", std::string(300, 'x'), 7)
        .scheme("dup", "line one\r\nline two", -5)
        .scheme("dup", std::string(70000, 'z'), 1 << 30)
        .scheme("");
    writeBytes(storeFile(), file.str());

    const auto exported = run(cli::exportCommand, {"--store", storeFile()});
    ASSERT_EQ(exported.status, kExitOk) << exported.err;
    const auto document = nlohmann::json::parse(exported.out);
    EXPECT_EQ(document["header"]["ints"][0], 123456);
    EXPECT_EQ(document["header"]["texts"][0], "注释");
    ASSERT_EQ(document["schemes"].size(), 4u);
    EXPECT_EQ(document["schemes"][0]["name"], "网页");
    EXPECT_EQ(document["schemes"][0]["borderPieceFiles"].size(), 8u);
    EXPECT_EQ(document["schemes"][0]["reservedInts"].size(), 10u);
    // 97 fields, 28 of them in three arrays, and the slots 2-4 its reserved
    // ints hold also by the names of their settings.
    EXPECT_EQ(document["schemes"][0].size(), 75u);

    writeBytes(dir.path() / "store.json", exported.out);
    const auto imported =
        run(cli::importCommand, {dir.str("store.json"), "--store", storeFile("copy.bis")});
    ASSERT_EQ(imported.status, kExitOk) << imported.err;
    EXPECT_EQ(readBytes(storeFile("copy.bis")), file.str());
}

TEST_F(StoreCommands, FloatsKeepTheirExact32BitValues) {
    std::string bytes = StoreBytes().header().i32(1).scheme("f").str();
    // Patch textPosX (first float) with values that are hard to print.
    const size_t textPosX = bytes.find("Arial") + 5 + 7 * 4;
    for (const std::uint32_t bits :
         {0x3DCCCCCDu, 0x00000001u, 0x7F7FFFFFu, 0x80000000u, 0x7FC00001u, 0xFF800000u}) {
        std::memcpy(bytes.data() + textPosX, &bits, 4);
        writeBytes(storeFile(), bytes);
        const auto exported = run(cli::exportCommand, {"--store", storeFile()});
        ASSERT_EQ(exported.status, kExitOk);
        writeBytes(dir.path() / "f.json", exported.out);
        ASSERT_EQ(
            run(cli::importCommand, {dir.str("f.json"), "--store", storeFile("back.bis")}).status,
            kExitOk);
        EXPECT_EQ(readBytes(storeFile("back.bis")), bytes) << std::hex << bits;
    }
}

TEST_F(StoreCommands, ImportFillsMissingFieldsWithNewRecordValues) {
    writeBytes(dir.path() / "s.json", R"({"schemes": [{"name": "Mini", "resizeEnabled": 1}]})");
    ASSERT_EQ(run(cli::importCommand, {dir.str("s.json"), "--store", storeFile()}).status, kExitOk);
    SchemeStore store(dir.str());
    store.setPath(storeFile());
    RecordingReporter reporter;
    ASSERT_TRUE(store.load(reporter));
    ASSERT_EQ(store.size(), 1u);
    Scheme expected;
    expected.name = "Mini";
    expected.resizeEnabled = 1;
    EXPECT_EQ(*store.at(0), expected);
    EXPECT_EQ(store.header(), SchemeListHeader{});
}

TEST_F(StoreCommands, ImportTakesWebPAndAvifOutputs) {
    writeBytes(dir.path() / "s.json", R"({"schemes": [
        {"name": "W", "convertEnabled": 1, "formatConvertEnabled": 1, "outputFormat": 9},
        {"name": "A", "convertEnabled": 1, "formatConvertEnabled": 1, "outputFormat": 10}]})");
    ASSERT_EQ(run(cli::importCommand, {dir.str("s.json"), "--store", storeFile()}).status, kExitOk);
    SchemeStore store(dir.str());
    store.setPath(storeFile());
    RecordingReporter reporter;
    ASSERT_TRUE(store.load(reporter));
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ(store.at(0)->outputFormat, stored(OutputFormat::WebP));
    EXPECT_EQ(store.at(1)->outputFormat, stored(OutputFormat::Avif));
}

// The settings of the reserved fields travel as named fields; older JSON
// holds only the array, and a named field wins over its slot.
TEST_F(StoreCommands, ReservedSettingsTravelAsNamedFields) {
    writeBytes(dir.path() / "s.json", R"({"schemes": [
        {"name": "N", "colorProfile": 1, "metadata": 2, "captionHeightShare": 1250,
         "stampWidthShare": 2000, "fileSizeLimitKb": 200},
        {"name": "O", "reservedInts": [1, 1, 0, 0, 0, 0, 0, 0, 0, 7]},
        {"name": "P", "reservedInts": [1, 9, 0, 0, 0, 0, 0, 0, 0, 0], "colorProfile": 0}]})");
    ASSERT_EQ(run(cli::importCommand, {dir.str("s.json"), "--store", storeFile()}).status, kExitOk);
    SchemeStore store(dir.str());
    store.setPath(storeFile());
    RecordingReporter reporter;
    ASSERT_TRUE(store.load(reporter));
    ASSERT_EQ(store.size(), 3u);
    using Slots = std::array<std::int32_t, 10>;
    EXPECT_EQ(store.at(0)->reservedInts, (Slots{1, 2, 1250, 2000, 200, 0, 0, 0, 0, 0}));
    EXPECT_EQ(store.at(1)->reservedInts, (Slots{1, 1, 0, 0, 0, 0, 0, 0, 0, 7}));
    EXPECT_EQ(store.at(2)->reservedInts, (Slots{0, 9, 0, 0, 0, 0, 0, 0, 0, 0}));

    const auto exported =
        nlohmann::json::parse(run(cli::exportCommand, {"--store", storeFile()}).out);
    const auto& schemes = exported["schemes"];
    EXPECT_EQ(schemes[0]["colorProfile"], 1);
    EXPECT_EQ(schemes[0]["metadata"], 2);
    EXPECT_EQ(schemes[0]["captionHeightShare"], 1250);
    EXPECT_EQ(schemes[0]["stampWidthShare"], 2000);
    EXPECT_EQ(schemes[0]["fileSizeLimitKb"], 200);
    EXPECT_FALSE(schemes[1].contains("fileSizeLimitKb"));
    const std::string shown = run(cli::showCommand, {"N", "--store", storeFile()}).out;
    for (const char* row : {"文字随图像缩放（高度）", "12.50 %", "印章随图像缩放（宽度）",
                            "20.00 %", "文件大小最大值", "200 K"})
        EXPECT_NE(shown.find(row), std::string::npos) << row << " in\n" << shown;
    EXPECT_EQ(schemes[1]["metadata"], 1);
    // 0, and a value outside the setting's range (kept in the array), are
    // left out.
    EXPECT_FALSE(schemes[2].contains("colorProfile") || schemes[2].contains("metadata"));
    EXPECT_EQ(schemes[2]["reservedInts"][1], 9);
}

TEST_F(StoreCommands, ImportRefusesBadFieldsNamingFieldAndScheme) {
    writeBytes(storeFile(), "keep me");
    struct Case {
        const char* json;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"schemes": [{"name": "A"}, {"name": "B", "colour": 1}]})",
         "\"colour\" of scheme 2 (\"B\"): unknown field"},
        {R"({"schemes": [{"name": "A", "jpegQuality": "90"}]})",
         "\"jpegQuality\" of scheme 1 (\"A\"): expected an integer"},
        {R"({"schemes": [{"name": "A", "textColor": 4294967295}]})",
         "\"textColor\" of scheme 1 (\"A\"): number out of the 32-bit range"},
        {R"({"schemes": [{"name": "A", "fontSize": -2147483649}]})",
         "\"fontSize\" of scheme 1 (\"A\"): number out of the 32-bit range"},
        {R"({"schemes": [{"name": "A", "stampPosX": 1e39}]})",
         "\"stampPosX\" of scheme 1 (\"A\"): number out of the 32-bit float range"},
        {R"({"schemes": [{"name": "A", "fontSize": 8.5}]})",
         "\"fontSize\" of scheme 1 (\"A\"): expected an integer"},
        {R"({"schemes": [{"name": "A", "reservedInts": [1, 2]}]})",
         "\"reservedInts\" of scheme 1 (\"A\"): expected an array of 10 values"},
        {R"({"schemes": [{"name": 5}]})", "\"name\" of scheme 1: expected a string"},
        {R"({"schemes": [{"name": "A", "metadata": 3}]})",
         "\"metadata\" of scheme 1 (\"A\"): expected 0 to 2"},
        {R"({"schemes": [{"name": "A", "stampWidthShare": 10001}]})",
         "\"stampWidthShare\" of scheme 1 (\"A\"): expected 0 to 10000"},
        {R"({"header": {"ints": [1, 2, 3]}})", "\"ints\" of the header"},
        {R"({"scheme": []})", "unknown top-level field \"scheme\""},
        {R"({"schemes": [)", "parse error"},
        {R"({"schemes": [{"name": "A", "outputFolder": "/tmp/out/victim\u0000zzz"}]})",
         "\"outputFolder\" of scheme 1 (\"A\"): control character U+0000"},
        {R"({"schemes": [{"name": "A", "borderPieceFiles": ["", "", "a\u0007", "", "", "", "", ""]}]})",
         "\"borderPieceFiles[2]\" of scheme 1 (\"A\"): control character U+0007"},
        {R"({"schemes": [{"name": "A\nB"}]})", "\"name\" of scheme 1"},
        {R"({"header": {"texts": ["", "\u001b[2J", "", "", ""]}})",
         "\"texts[1]\" of the header: control character U+001B"},
        {R"({"schemes": [{"name": "A", "jpegQuality": 90, "jpegQuality": 10}]})",
         "duplicate key \"jpegQuality\""},
        {R"({"schemes": [{"name": "A"}], "schemes": []})", "duplicate key \"schemes\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        writeBytes(dir.path() / "bad.json", c.json);
        const auto result = run(cli::importCommand, {dir.str("bad.json"), "--store", storeFile()});
        EXPECT_EQ(result.status, kExitUsage);
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_EQ(readBytes(storeFile()), "keep me");
    }
}

// What loading refuses (a store above 256 MiB) is refused at import, naming
// the field, from the first byte beyond the limit.
TEST_F(StoreCommands, ImportRefusesAStoreTooLargeToLoad) {
    const auto importCaption = [&](std::size_t length) {
        std::string json = R"({"schemes": [{"name": "A", "textContent": ")";
        json.append(length, 'a');
        json += R"("}]})";
        writeBytes(dir.path() / "big.json", json);
        return run(cli::importCommand, {dir.str("big.json"), "--store", storeFile()});
    };
    ASSERT_EQ(importCaption(0).status, kExitOk);
    // A caption of this length or more takes a 7-byte length instead of 1.
    const std::uint64_t base = fs::file_size(storeFile()) + 6;
    const std::size_t fits = static_cast<std::size_t>(kLargestStore - base);

    writeBytes(storeFile(), "keep me");
    const auto refused = importCaption(fits + 1);
    EXPECT_EQ(refused.status, kExitUsage);
    EXPECT_NE(refused.err.find("field \"textContent\" of scheme \"A\""), std::string::npos)
        << refused.err;
    EXPECT_EQ(readBytes(storeFile()), "keep me");
}

TEST_F(StoreCommands, ShowPrintsTheSchemeViewersRowsOneALine) {
    writeBytes(storeFile(), "");
    SchemeStore store(dir.str());
    store.setPath(storeFile());
    Scheme plain;
    plain.name = "缩略图";
    plain.outputFolder = "/tmp/out";
    plain.resizeEnabled = 1;
    plain.resizeMode = stored(ResizeMode::Fixed);
    store.append(plain);
    Scheme caption = plain;
    caption.name = "Caption";
    caption.textEnabled = 1;
    caption.textContent = "two\tparts\nlines";
    store.append(caption);
    SilentReporter silent;
    ASSERT_TRUE(store.save(silent));

    const auto shown = run(cli::showCommand, {"缩略图", "--store", storeFile()});
    EXPECT_EQ(shown.status, kExitOk);
    std::string expected;
    for (const SchemeViewRow& row : schemeViewRows(plain)) {
        expected += row.label.empty() && row.value.empty() ? "" : row.label + "\t" + row.value;
        expected += "\n";
    }
    EXPECT_EQ(shown.out, expected);
    // The fixed-size detail row is empty like the separators.
    EXPECT_NE(shown.out.find("调整大小\t是\n\n        处理边框\t是\n"), std::string::npos);

    const auto escaped = run(cli::showCommand, {"Caption", "--store", storeFile()});
    EXPECT_NE(escaped.out.find("        文字内容\ttwo\\tparts\\nlines\n"), std::string::npos);

    const auto unknown = run(cli::showCommand, {"Nope", "--store", storeFile()});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("Nope"), std::string::npos);

    EXPECT_EQ(run(cli::showCommand, {"--store", storeFile()}).status, kExitUsage);
}

// Output that does not reach its file is a failure: a full disk must not
// leave a cut-off export behind an exit status of 0.
TEST_F(StoreCommands, ListExportAndShowFailWhenTheirOutputCannotBeWritten) {
    writeBytes(storeFile(),
               StoreBytes().header().i32(2).scheme("a").scheme(std::string(9000, 'b')).str());
    using Command = int (*)(const std::vector<std::string>&);
    const std::pair<Command, std::vector<std::string>> commands[] = {
        {cli::listCommand, {"--store", storeFile()}},
        {cli::exportCommand, {"--store", storeFile()}},
        {cli::showCommand, {"a", "--store", storeFile()}},
    };
    for (const auto& [command, args] : commands) {
        std::fflush(stdout);
        const int saved = ::dup(1);
        const int full = ::open("/dev/full", O_WRONLY);
        ASSERT_GE(full, 0);
        ::dup2(full, 1);
        ::close(full);
        std::ostringstream err;
        auto* oldErr = std::cerr.rdbuf(err.rdbuf());
        const int status = command(args);
        std::cerr.rdbuf(oldErr);
        std::cout.clear();
        std::clearerr(stdout);
        ::dup2(saved, 1);
        ::close(saved);
        EXPECT_EQ(status, kExitUsage);
        EXPECT_NE(err.str().find("No space left on device"), std::string::npos) << err.str();
    }
}

// import writes through a linked store and keeps the mode (and, for root, the
// owner) of the file it replaces.
TEST_F(StoreCommands, ImportKeepsALinkedStoreAndItsPermissions) {
    const fs::path real = dir.path() / "real.bis";
    writeBytes(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(real.c_str(), 4321, 4321), 0);
    }
    fs::create_symlink(real, storeFile());
    writeBytes(dir.path() / "s.json", R"({"schemes": [{"name": "Mini"}]})");
    ASSERT_EQ(run(cli::importCommand, {dir.str("s.json"), "--store", storeFile()}).status, kExitOk);
    EXPECT_TRUE(fs::is_symlink(storeFile()));
    EXPECT_NE(readBytes(real), "old");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
    }
}
