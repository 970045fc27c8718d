#include "processing/ResultPrediction.h"

#include "common/ImageFormats.h"
#include "common/Reporter.h"
#include "imaging/SampledSaving.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"

#include <filesystem>

namespace varnetto {

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
    try {
        const ReducedPicture source = cache.source(sourcePath, 0, 0);
        if (stop()) return out;
        CImageBox control;
        // Missing stamps are the preview's to name.
        CollectingReporter quiet;
        std::vector<std::string> warnings;
        const Bitmap processed = applySchemeFor(control, source.picture, path, scheme, appFolder,
                                                quiet, &cache, &warnings);
        out.width = processed.width();
        out.height = processed.height();
        out.warnings = std::move(warnings);
        if (!format || !format->sizeByQuality || stop()) return out;
        // applyScheme left the scheme's encoder settings on the control.
        control.PutBitmap(processed);
        const SampledSave measured =
            MeasureSampledSave(control, extension.substr(1), kPredictionPixels);
        out.bytes = measured.report.bytes;
        out.quality = measured.report.quality;
        out.fits = measured.report.fits;
        out.share = measured.share;
    } catch (const std::exception& failure) {
        out.failure = failure.what();
    }
    return out;
}

}  // namespace varnetto
