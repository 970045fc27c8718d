#include "PhotoScenes.h"
#include "processing/PreviewCache.h"
#include "processing/ResultPrediction.h"
#include "processing/SchemePipeline.h"
#include "schemes/ReservedSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace varnetto {
namespace {

// The size the editor predicts is the size a run writes: exactly, where the
// output is encoded whole; where only bands of its rows are encoded, within
// what the sampling of a photograph's rows allows.
TEST(Prediction, PredictedSizeIsWhatTheRunWrites) {
    const testing::TempDir dir;
    std::filesystem::create_directories(dir.path() / "out");
    Scheme web;  // a caption at 8 % of the height that runs off the bottom
    web.outputFolder = dir.str("out");
    web.resizeEnabled = 1;
    web.resizeMode = stored(ResizeMode::Width);
    web.resizeValue = 1600;
    web.resampleFilter = stored(ResampleFilter::Lanczos);
    web.jpegQuality = 85;
    web.textEnabled = 1;
    web.textContent = "© Varnetto";
    web.textPosX = 0.05f;
    web.textPosY = 0.92f;
    setReservedValue(web, ReservedSettingId::CaptionHeight, 800);
    Scheme whole;
    whole.outputFolder = dir.str("out");
    whole.jpegQuality = 90;
    Scheme limited = whole;
    limited.convertEnabled = limited.formatConvertEnabled = 1;
    limited.outputFormat = stored(OutputFormat::WebP);
    setReservedValue(limited, ReservedSettingId::FileSizeLimit, 300);
    const struct {
        int width, height;
        Scheme scheme;
        bool sampled;
        double tolerance;  // of the written size
    } cases[] = {{1600, 1200, web, false, 0.0},
                 {3000, 2000, web, false, 0.0},
                 {4000, 3000, whole, true, 0.05},
                 {3000, 2000, limited, true, 0.10}};
    int seed = 0;
    for (const auto& c : cases) {
        const std::string source = dir.str("photo" + std::to_string(++seed) + ".jpg");
        testing::photoScene(c.width, c.height, seed).write_to_file((source + "[Q=92]").c_str());
        SCOPED_TRACE(source);
        PreviewCache cache;
        const ResultPrediction predicted = predictResult(cache, c.scheme, source, dir.str());
        ASSERT_EQ(predicted.failure, "");
        CImageBox control;
        testing::RecordingReporter reporter;
        const ProcessResult written =
            processFile(control, source, 1, c.scheme, true, dir.str(), reporter, false);
        ASSERT_TRUE(written.ok()) << written.error;
        const auto bytes = static_cast<double>(std::filesystem::file_size(written.outputPath));
        EXPECT_EQ(predicted.share < 1.0, c.sampled) << predicted.share;
        EXPECT_LE(std::abs(static_cast<double>(predicted.bytes) - bytes), c.tolerance * bytes)
            << predicted.bytes << " predicted, " << bytes << " written";
        EXPECT_EQ(predicted.fileName, std::filesystem::path(written.outputPath).filename());
        // What the run warns of, the prediction says in the run's words.
        std::string warned;
        for (const std::string& one : predicted.warnings) warned += one;
        if (c.scheme.textEnabled) {
            ASSERT_NE(warned, "");
            EXPECT_NE(written.warning.find(warned), std::string::npos) << written.warning;
        } else {
            EXPECT_EQ(warned, "");
        }
    }
}

}  // namespace
}  // namespace varnetto
