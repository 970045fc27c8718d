#include "processing/ResultPrediction.h"

#include "common/ImageFormats.h"
#include "common/Reporter.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"
#include "processing/SchemePreview.h"
#include "schemes/ReservedSettings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace varnetto {

namespace {

// Only the steps that change the picture's size: applied to a blank
// picture of the source's size, they give the output's size without
// computing a pixel.
Scheme sizingSteps(Scheme s) {
    s.colorConvertEnabled = 0;
    s.brightnessEnabled = s.contrastEnabled = 0;
    s.sharpenEnabled = s.despeckleEnabled = s.redEyeEnabled = 0;
    s.textEnabled = 0;
    s.stampEnabled = 0;
    return s;
}

}  // namespace

ResultPrediction predictResult(PreviewCache& cache, const Scheme& scheme,
                               const std::string& sourcePath, const AppFolders& appFolder,
                               const std::function<bool()>& stopRequested) {
    const auto stop = [&] { return stopRequested && stopRequested(); };
    ResultPrediction out;
    const std::string path = outputPath(scheme, 1, sourcePath);
    out.fileName = std::filesystem::path(path).filename().string();
    const std::string extension = std::filesystem::path(path).extension().string();
    const ImageFormat* format =
        extension.size() > 1 ? formatForSuffix(extension.substr(1)) : nullptr;
    const bool measured = format && format->sizeByQuality;

    PreviewRequest request;
    request.sourcePath = sourcePath;
    request.scheme = scheme;
    request.boxWidth = request.boxHeight = kPredictionBoxSide;
    try {
        // The source's size first, from the header where it tells it.
        PreviewRender shown;
        if (measured) {
            shown = renderPreview(cache, request, appFolder, stopRequested);
            if (!shown.failure.empty()) {
                out.failure = shown.failure;
                return out;
            }
        }
        const std::optional<std::pair<int, int>> header = cache.size(sourcePath);
        const int sourceWidth = measured ? shown.sourceWidth : header ? header->first : 0;
        const int sourceHeight = measured ? shown.sourceHeight : header ? header->second : 0;
        if (sourceWidth <= 0 || sourceHeight <= 0 || stop()) return out;

        CImageBox control;
        control.CreateBlank(sourceWidth, sourceHeight);
        const Bitmap blank = control.GetBitmap();
        control.Clear();
        CollectingReporter quiet;
        const Bitmap sized =
            applyScheme(control, blank, sizingSteps(scheme), appFolder, quiet, &cache);
        out.width = sized.width();
        out.height = sized.height();
        if (!measured || stop() || shown.picture.get_image() == nullptr) return out;

        // The measured picture is the output or a reduction of it; a limit
        // is scaled with it, so that the quality it chooses is the output's.
        const double scale = static_cast<double>(out.width) * out.height /
                             (static_cast<double>(shown.picture.width()) * shown.picture.height());
        out.scaled = scale > 1.0;
        control.PutBitmap(shown.picture);
        control.SetJpegQuality(static_cast<std::uint16_t>(std::clamp(scheme.jpegQuality, 1, 100)));
        control.SetFileSizeLimit(
            static_cast<std::int64_t>(std::llround(fileSizeLimitOf(scheme) / scale)));
        const SaveReport report = control.MeasureSave(extension.substr(1));
        out.bytes = static_cast<std::int64_t>(std::llround(report.bytes * scale));
        out.quality = report.quality;
        out.fits = report.fits;
    } catch (const std::exception& failure) {
        out.failure = failure.what();
    }
    return out;
}

}  // namespace varnetto
