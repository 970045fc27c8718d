// The editor's predicted file size against the file a run writes, for
// bench/prediction-bench.sh: generated photographs of many sizes, each
// through schemes with and without a resize and a file-size limit. Prints
// one row per picture and scheme, then the mean and the worst error.

#include "../PhotoScenes.h"
#include "imaging/ImagingRuntime.h"
#include "processing/PreviewCache.h"
#include "processing/ResultPrediction.h"
#include "processing/SchemePipeline.h"
#include "schemes/ReservedSettings.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace varnetto;

namespace {

struct Named {
    const char* name;
    Scheme scheme;
};

std::vector<Named> schemes(const std::string& out) {
    Scheme web;  // as the bundled web scheme, with its caption sized to the picture
    web.outputFolder = out + "/web";
    web.resizeEnabled = 1;
    web.resizeMode = stored(ResizeMode::Width);
    web.resizeValue = 1600;
    web.resampleFilter = stored(ResampleFilter::Lanczos);
    web.jpegQuality = 85;
    web.textEnabled = 1;
    web.textContent = "© Varnetto 示例";
    web.textPosX = 0.05f;
    web.textPosY = 0.85f;
    setReservedValue(web, ReservedSettingId::CaptionHeight, 800);

    Scheme whole;  // no resize: large outputs are measured on bands of rows
    whole.outputFolder = out + "/whole";
    whole.jpegQuality = 90;

    Scheme limited;  // WebP under a size limit
    limited.outputFolder = out + "/limited";
    limited.resizeEnabled = 1;
    limited.resizeMode = stored(ResizeMode::Width);
    limited.resizeValue = 2400;
    limited.jpegQuality = 90;
    limited.convertEnabled = limited.formatConvertEnabled = 1;
    limited.outputFormat = stored(OutputFormat::WebP);
    setReservedValue(limited, ReservedSettingId::FileSizeLimit, 300);
    return {
        {"web 1600 + caption", web}, {"JPEG Q90 unresized", whole}, {"WebP 2400, 300 KB", limited}};
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WORK-FOLDER\n", argv[0]);
        return 2;
    }
    initImaging(argv[0]);
    const std::string work = argv[1];
    const int sizes[][2] = {{640, 480},   {1024, 768},  {900, 1200},  {1600, 1200},
                            {1920, 1080}, {1200, 1600}, {2560, 1600}, {3000, 2000},
                            {2000, 3000}, {4000, 3000}, {5000, 3300}, {6000, 4000}};
    std::vector<std::string> pictures;
    int seed = 0;
    for (const auto& size : sizes) {
        const std::string path = work + "/photo" + std::to_string(++seed) + ".jpg";
        testing::photoScene(size[0], size[1], seed).write_to_file((path + "[Q=92]").c_str());
        pictures.push_back(path);
    }
    std::printf("%-12s %-20s %11s %6s %9s %9s %7s %7s %8s\n", "picture", "scheme", "output", "rows",
                "predicted", "written", "error", "quality", "time");
    double sum = 0;
    double worst = 0;
    int count = 0;
    for (const Named& named : schemes(work)) {
        std::filesystem::create_directories(named.scheme.outputFolder);
        for (const std::string& picture : pictures) {
            PreviewCache cache;
            const auto start = std::chrono::steady_clock::now();
            const ResultPrediction predicted = predictResult(cache, named.scheme, picture, work);
            const double ms = millisecondsSince(start);
            CImageBox control;
            CollectingReporter quiet;
            const ProcessResult written = processFile(control, picture, 1, named.scheme, true, work,
                                                      quiet, /*keepImage=*/false);
            if (!written.ok() || !predicted.failure.empty()) {
                std::fprintf(stderr, "%s: %s%s\n", picture.c_str(), written.error.c_str(),
                             predicted.failure.c_str());
                return 1;
            }
            const auto bytes = static_cast<double>(std::filesystem::file_size(written.outputPath));
            const double error = 100.0 * (static_cast<double>(predicted.bytes) - bytes) / bytes;
            sum += std::abs(error);
            worst = std::max(worst, std::abs(error));
            ++count;
            const std::string output =
                std::to_string(predicted.width) + "x" + std::to_string(predicted.height);
            // Under a limit, the quality predicted and the one written.
            const std::string quality = written.saved.limited
                                            ? std::to_string(predicted.quality) + "/" +
                                                  std::to_string(written.saved.quality)
                                            : std::to_string(predicted.quality);
            std::printf("%-12s %-20s %11s %5.0f%% %7.1fKB %7.1fKB %+6.1f%% %7s %6.0fms\n",
                        std::filesystem::path(picture).filename().c_str(), named.name,
                        output.c_str(), 100.0 * predicted.share, predicted.bytes / 1024.0,
                        bytes / 1024.0, error, quality.c_str(), ms);
        }
    }
    std::printf("%d predictions: mean error %.1f %%, worst %.1f %%\n", count, sum / count, worst);
    return 0;
}
