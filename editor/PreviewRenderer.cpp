#include "editor/PreviewRenderer.h"

#include "common/Reporter.h"
#include "imaging/FitToBox.h"
#include "processing/SchemePipeline.h"
#include "uikit/QtImage.h"

namespace varnetto {

namespace {

// Keeps what the pipeline says for the UI thread; a render never waits for
// the user.
class CollectingReporter final : public Reporter {
  public:
    void message(std::string_view text, MessageKind) override {
        said << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    bool ask(std::string_view text, MessageKind kind) override {
        message(text, kind);
        return false;
    }
    QStringList said;
};

}  // namespace

PreviewRenderer::PreviewRenderer(Bitmap source, std::string appFolder, Shown shown, QObject* parent)
    : QObject(parent),
      source_(std::move(source)),
      appFolder_(std::move(appFolder)),
      shown_(std::move(shown)) {}

void PreviewRenderer::render(const Scheme& scheme, QSize box, int generation) {
    worker_.submit(
        [this, control = control_, source = source_, appFolder = appFolder_, scheme, box,
         generation](const std::atomic<bool>& superseded) -> LatestRequestWorker::Completion {
            if (superseded) return {};
            RenderedPreview preview;
            preview.generation = generation;
            CollectingReporter reporter;
            try {
                const Bitmap result = applyScheme(*control, source, scheme, appFolder, reporter);
                if (superseded) return {};
                // Converting to a QImage runs the whole lazy pipeline.
                preview.picture = toQImage(FitToBox(*control, result, box.width(), box.height()));
            } catch (const std::exception& failure) {
                control->Clear();
                reporter.said << QString::fromUtf8(failure.what());
            }
            if (superseded) return {};
            preview.messages = std::move(reporter.said);
            return [this, preview] { shown_(preview); };
        });
}

}  // namespace varnetto
