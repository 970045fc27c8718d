// What a batch tells about each image: reasons and warnings that belong to
// that image alone, whatever runs beside it, and inputs that could stall it.
#include "processing/BatchRun.h"

#include "imaging/CImageBox.h"
#include "processing/OutputFolder.h"
#include "processing/SchemePipeline.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace varnetto {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::RecordingReporter;
using testing::TempDir;
using testing::writeBytes;

// Noise compresses badly, so a cut lands in the picture data.
Bitmap noise(int width, int height) {
    return Bitmap::gaussnoise(width, height, Bitmap::option()->set("mean", 128)->set("sigma", 60))
        .cast(VIPS_FORMAT_UCHAR)
        .bandjoin_const({90, 30})
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Kind {
    std::string ext;
    std::string decoder;  // what every reason about such a file names, in lower case
};
const std::vector<Kind> kKinds = {
    {"jpg", "vipsjpeg"}, {"png", "vipspng"}, {"gif", "gifload"}, {"tif", "tiff"}};

std::vector<BatchOutcome> runAll(const Scheme& scheme, const std::vector<std::string>& sources,
                                 const std::string& appFolder, int jobs) {
    RecordingReporter reporter;
    std::atomic<bool> abort{false};
    return runBatch(scheme, sources, appFolder, reporter, nullptr, abort, BatchOptions{jobs});
}

TEST(BatchDiagnostics, EveryReasonNamesItsOwnFileAndDecoder) {
    TempDir dir;
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    scheme.convertEnabled = scheme.formatConvertEnabled = 1;
    scheme.outputFormat = stored(OutputFormat::Png);
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");

    // 50 cut files of each kind, interleaved so that kinds fail side by side.
    std::vector<std::string> sources;
    std::map<std::string, std::string> wholeFiles;
    for (const Kind& kind : kKinds) {
        const std::string whole = dir.str("whole." + kind.ext);
        noise(160, 120).write_to_file(whole.c_str());
        wholeFiles[kind.ext] = readBytes(whole);
    }
    for (int i = 0; i < 50; ++i) {
        for (const Kind& kind : kKinds) {
            const std::string& bytes = wholeFiles[kind.ext];
            sources.push_back(dir.str("cut" + std::to_string(i) + "." + kind.ext));
            writeBytes(sources.back(), bytes.substr(0, bytes.size() * (40 + i % 40) / 100));
        }
    }
    const auto outcomes = runAll(scheme, sources, dir.str(), 2);
    ASSERT_EQ(outcomes.size(), sources.size());
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const BatchOutcome& o = outcomes[i];
        const Kind& kind = kKinds[i % kKinds.size()];
        SCOPED_TRACE(sources[i]);
        ASSERT_FALSE(o.ok());
        const std::string prefix = "无法读取图像 " + sources[i] + "：";
        ASSERT_EQ(o.error.find(prefix), 0u) << o.error;
        const std::string reason = lower(o.error.substr(prefix.size()));
        EXPECT_NE(reason.find(kind.decoder), std::string::npos) << o.error;
        EXPECT_EQ(reason.find("unknown libvips error"), std::string::npos);
        for (const Kind& other : kKinds) {
            if (other.ext == kind.ext) continue;
            EXPECT_EQ(reason.find(other.decoder), std::string::npos) << o.error;
        }
        for (size_t j = 0; j < sources.size(); ++j) {
            if (j == i) continue;
            EXPECT_EQ(o.error.find(sources[j] + ":"), std::string::npos) << o.error;
        }
    }
    EXPECT_TRUE(fs::is_empty(scheme.outputFolder));
}

TEST(BatchDiagnostics, DamagedPictureDataIsAWarningOfItsOwnImage) {
    TempDir dir;
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    scheme.resizeEnabled = 1;
    scheme.resizeValue = 50;
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");

    // Every other JPEG has random bytes in its middle, among them a marker
    // (random bytes alone may decode to wrong pixels without a word); its
    // neighbours are whole.
    std::mt19937 random(14);
    std::vector<std::string> sources;
    const std::string whole = dir.str("whole.jpg");
    noise(400, 300).jpegsave(whole.c_str());
    const std::string bytes = readBytes(whole);
    for (int i = 0; i < 16; ++i) {
        std::string picture = bytes;
        if (i % 2 == 1) {
            for (int k = 0; k < 40; ++k)
                picture[bytes.size() / 3 + random() % (bytes.size() / 3)] =
                    static_cast<char>(random());
            picture.replace(bytes.size() / 2 + random() % 100, 2, "\xFF\xD3");
        }
        sources.push_back(dir.str("p" + std::to_string(i) + ".jpg"));
        writeBytes(sources.back(), picture);
    }
    testing::CapturedDescriptor stderrText(2);
    const auto outcomes = runAll(scheme, sources, dir.str(), 2);
    const std::string printed = stderrText.release();
    ASSERT_EQ(outcomes.size(), sources.size());
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const BatchOutcome& o = outcomes[i];
        SCOPED_TRACE(o.source);
        EXPECT_TRUE(o.ok()) << o.error;
        EXPECT_TRUE(fs::exists(o.output));
        if (i % 2 == 0) {
            EXPECT_EQ(o.warning, "");
            continue;
        }
        EXPECT_EQ(o.warning.find(o.source + "："), 0u) << o.warning;
        EXPECT_NE(lower(o.warning).find("vipsjpeg"), std::string::npos) << o.warning;
        EXPECT_EQ(o.warning.find('\n'), std::string::npos) << o.warning;
    }
    EXPECT_EQ(printed, "") << "no library lines on stderr";
}

// A FIFO (or any file that is not a regular file) among the inputs, as the
// store, a stamp or a border piece is refused at once instead of waited on.
TEST(BatchDiagnostics, FilesThatAreNotRegularAreRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.str("pipe.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string plain = dir.str("plain.png");
    noise(40, 30).pngsave(plain.c_str());

    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");
    std::vector<BatchOutcome> outcomes;
    ASSERT_TRUE(testing::endsWithin(std::chrono::seconds(20), fifo, [&] {
        outcomes = runAll(scheme, {plain, fifo}, dir.str(), 2);
    }));
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(outcomes[0].ok()) << outcomes[0].error;
    EXPECT_NE(outcomes[1].error.find(fifo), std::string::npos) << outcomes[1].error;
    EXPECT_NE(outcomes[1].error.find("不是普通文件"), std::string::npos) << outcomes[1].error;

    // The same FIFO as stamp and as a border piece.
    Scheme stamped = scheme;
    stamped.stampEnabled = 1;
    stamped.stampKind = stored(DecorationKind::Custom);
    stamped.stampPath = fifo;
    Scheme bordered = scheme;
    bordered.borderEnabled = 1;
    bordered.borderKind = stored(DecorationKind::Custom);
    for (auto& piece : bordered.borderPieceFiles) piece = plain;
    bordered.borderPieceFiles[4] = fifo;
    for (const Scheme* s : {&stamped, &bordered}) {
        RecordingReporter reporter;
        CImageBox control;
        ProcessResult result;
        ASSERT_TRUE(testing::endsWithin(std::chrono::seconds(20), fifo, [&] {
            result = processFile(control, plain, 1, *s, true, dir.str(), reporter, false);
        }));
        std::string said = result.error;
        for (const std::string& text : reporter.texts()) said += text;
        EXPECT_NE(said.find(fifo), std::string::npos) << said;
        EXPECT_NE(said.find("不是普通文件"), std::string::npos) << said;
    }
}

// A source name near the system's limit (255 bytes) is legal; the temporary
// file the output goes through must not push past it.
TEST(BatchDiagnostics, LongLegalNamesAreProcessed) {
    TempDir dir;
    Scheme scheme;
    scheme.outputFolder = dir.str("out");
    ASSERT_EQ(ensureOutputFolder(scheme.outputFolder), "");
    std::vector<std::string> sources;
    for (size_t length : {242u, 247u, 251u}) {
        sources.push_back(dir.str(std::string(length, 'n') + ".png"));
        noise(32, 24).pngsave(sources.back().c_str());
    }
    for (const BatchOutcome& o : runAll(scheme, sources, dir.str(), 1)) {
        EXPECT_TRUE(o.ok()) << o.error;
        EXPECT_TRUE(fs::exists(o.output)) << o.output;
    }
}

// A stored folder name with a NUL byte reads as a shorter path to the
// system: the run must neither write there nor remove what stands there.
TEST(BatchDiagnostics, NeverRemovesAFolderItDidNotCreate) {
    TempDir dir;
    fs::create_directory(dir.path() / "victim");
    const std::string plain = dir.str("plain.png");
    noise(40, 30).pngsave(plain.c_str());
    Scheme scheme;
    scheme.outputFolder = dir.str("victim") + std::string(1, '\0') + "zzz";
    const auto outcomes = runAll(scheme, {plain}, dir.str(), 1);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].ok());
    EXPECT_TRUE(fs::is_directory(dir.path() / "victim"));
    EXPECT_NE(ensureOutputFolder(scheme.outputFolder), "");
    EXPECT_TRUE(fs::is_directory(dir.path() / "victim"));
}

TEST(BatchDiagnostics, ARotationThatIsNoNumberIsNamed) {
    TempDir dir;
    const std::string plain = dir.str("plain.png");
    noise(40, 30).pngsave(plain.c_str());
    Scheme scheme;
    scheme.outputFolder = dir.str();
    scheme.enhanceEnabled = scheme.rotateEnabled = 1;
    for (const float angle :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        scheme.rotateAngle = angle;
        CImageBox control;
        RecordingReporter reporter;
        const ProcessResult result =
            processFile(control, plain, 1, scheme, false, dir.str(), reporter);
        EXPECT_NE(result.error.find("旋转角度 " + std::string(std::isnan(angle) ? "nan" : "inf") +
                                    " 无效"),
                  std::string::npos)
            << result.error;
    }
}

}  // namespace
}  // namespace varnetto
