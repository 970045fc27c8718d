#include "PixelSupport.h"
#include "imaging/FitToBox.h"
#include "processing/SchemePipeline.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace varnetto {
namespace {

using testing::RecordingReporter;
using testing::samePixels;
using testing::TempDir;

// Schemes whose steps set drawing and text settings of their own. The
// resampler settings a resize sends are meant to last, like the encoder
// settings, so every scheme keeps the default ones.
class StepSettingsTest : public ::testing::Test {
  protected:
    StepSettingsTest() {
        stamp = dir.str("seal.bmp");
        testing::writeBmp(testing::twoTone(12, 10, true, {200, 0, 0}, {255, 255, 255}), stamp);
        const std::pair<int, int> sizes[8] = {{20, 5}, {6, 20}, {20, 7}, {6, 20},
                                              {8, 8},  {8, 8},  {8, 8},  {8, 8}};
        for (int i = 0; i < 8; ++i) {
            pieces[i] = dir.str("piece_" + std::to_string(i + 1) + ".bmp");
            testing::writeBmp(testing::twoTone(sizes[i].first, sizes[i].second, i % 2 == 0,
                                               {30, 90, 30 * i}, {240, 200, 10}),
                              pieces[i]);
        }
    }

    Scheme caption() const {
        Scheme s;
        s.textEnabled = 1;
        s.textContent = "Varnetto";
        s.fontFace = "Liberation Serif";
        s.fontSize = 150;
        s.fontWeight = 700;
        s.fontItalic = 1;
        s.textColor = 0x0000FF;
        s.textPosX = 0.1f;
        s.textPosY = 0.2f;
        return s;
    }
    Scheme stamped() const {
        Scheme s;
        s.stampEnabled = 1;
        s.stampKind = stored(DecorationKind::Custom);
        s.stampPath = stamp;
        s.stampPosX = 0.6f;
        s.stampPosY = 0.3f;
        return s;
    }
    Scheme bordered(bool inner, bool adaptive) const {
        Scheme s;
        s.borderEnabled = 1;
        s.borderKind = stored(DecorationKind::Custom);
        s.borderPieceFiles = pieces;
        s.borderInner = inner ? 1 : 0;
        s.borderAdaptive = adaptive ? 1 : 0;
        return s;
    }
    // Border, caption and stamp first, then the resize.
    Scheme everythingThenResized() const {
        Scheme s = caption();
        s.borderEnabled = 1;
        s.borderKind = stored(DecorationKind::Custom);
        s.borderPieceFiles = pieces;
        s.stampEnabled = 1;
        s.stampKind = stored(DecorationKind::Custom);
        s.stampPath = stamp;
        s.resizeEnabled = 1;
        s.resizeIncludesBorder = 1;
        s.resizeMode = stored(ResizeMode::Width);
        s.resizeValue = 70;
        return s;
    }
    std::vector<Scheme> schemes() const {
        return {caption(), stamped(), bordered(false, false), bordered(true, true),
                everythingThenResized()};
    }

    Bitmap source() const { return testing::twoTone(90, 60, true, {220, 60, 40}, {40, 60, 220}); }
    Bitmap apply(CImageBox& control, const Scheme& scheme) {
        return applyScheme(control, source(), scheme, dir.str(), reporter);
    }

    TempDir dir;
    std::string stamp;
    std::array<std::string, 8> pieces;
    RecordingReporter reporter;
};

// What a caller set on its control is still there after any scheme, however
// it ended.
TEST_F(StepSettingsTest, EveryStepGivesBackWhatItSetForItself) {
    StepSettings callers;
    callers.drawX = 3;
    callers.drawY = 4;
    callers.drawMode = 0;
    callers.transparentOverlay = true;
    callers.font.face = "Liberation Mono";
    callers.font.points = 20;
    callers.textColor = 0x123456;
    callers.edgeEffect = 2;
    for (const Scheme& scheme : schemes()) {
        CImageBox control;
        control.PutStepSettings(callers);
        apply(control, scheme);
        EXPECT_EQ(control.GetStepSettings(), callers)
            << scheme.textEnabled << scheme.stampEnabled << scheme.borderEnabled;
    }

    // A stamp that fails to load ends its step early.
    Scheme broken = stamped();
    broken.stampPath = dir.str("broken.bmp");
    testing::writeBytes(broken.stampPath, "BM no picture");
    CImageBox control;
    control.PutStepSettings(callers);
    EXPECT_THROW(apply(control, broken), ImagingError);
    EXPECT_EQ(control.GetStepSettings(), callers);

    // Fitting into a box sets the edge effect of small pictures for itself.
    FitToBox(control, source(), 400, 300);
    EXPECT_EQ(control.GetStepSettings(), callers);

    // A file saved as it streams in leaves no streaming behind.
    Scheme resized;
    resized.outputFolder = dir.str("out");
    std::filesystem::create_directories(resized.outputFolder);
    resized.resizeEnabled = 1;
    resized.resizeMode = stored(ResizeMode::Width);
    resized.resizeValue = 30;
    const std::string photo = dir.str("photo.jpg");
    source().jpegsave(photo.c_str());
    ASSERT_TRUE(readsSourceOnceInOrder(resized, dir.str("out/photo.jpg")));
    const ProcessResult saved =
        processFile(control, photo, 1, resized, true, dir.str(), reporter, false);
    ASSERT_TRUE(saved.ok()) << saved.error;
    EXPECT_EQ(control.GetStepSettings(), callers);
}

// A control that ran one scheme gives the next the picture a fresh control
// gives it.
TEST_F(StepSettingsTest, OneControlGivesEachSchemeWhatAFreshOneGives) {
    const std::vector<Scheme> all = schemes();
    std::vector<Bitmap> fresh;
    for (const Scheme& scheme : all) {
        CImageBox control;
        fresh.push_back(apply(control, scheme));
    }
    for (std::size_t first = 0; first < all.size(); ++first)
        for (std::size_t second = 0; second < all.size(); ++second) {
            SCOPED_TRACE(std::to_string(first) + " then " + std::to_string(second));
            CImageBox control;
            apply(control, all[first]);
            EXPECT_TRUE(samePixels(apply(control, all[second]), fresh[second]));
            EXPECT_EQ(control.GetStepSettings(), StepSettings());
        }
    EXPECT_TRUE(reporter.entries.empty()) << reporter.texts().front();
}

}  // namespace
}  // namespace varnetto
