#include "editor/PreviewRenderer.h"

#include "common/RegularFile.h"
#include "common/Reporter.h"
#include "imaging/FitToBox.h"
#include "processing/SchemePipeline.h"
#include "uikit/QtImage.h"

#include <algorithm>

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

// True (and said why) when path holds a file that cannot be decoded; a
// missing file is the pipeline's to report or leave out.
bool unreadable(CImageBox& control, const std::string& path, QStringList& said) {
    if (!isRegularFile(path)) return false;
    try {
        control.Clear();
        control.LoadFromFile(path);
        control.Clear();
        return false;
    } catch (const std::exception& failure) {
        control.Clear();
        said << QString::fromUtf8(failure.what());
        return true;
    }
}

}  // namespace

Scheme withReadableDecorations(Scheme scheme, const AppFolders& appFolder, CImageBox& control,
                               QStringList& said) {
    if (scheme.stampEnabled && unreadable(control, stampPathOf(scheme, appFolder), said))
        scheme.stampEnabled = 0;
    if (!scheme.borderEnabled) return scheme;
    const bool custom = scheme.borderKind == stored(DecorationKind::Custom);
    const auto pieces = borderPiecePathsOf(scheme, appFolder);
    // A set with no piece at all is named as a whole elsewhere; one that
    // lost some of its pieces names each lost one.
    const bool setFound = custom || std::any_of(pieces.begin(), pieces.end(), isRegularFile);
    for (const std::string& piece : pieces) {
        // An empty row of the pieces dialog is a piece left out on purpose.
        if (setFound && !piece.empty() && !isRegularFile(piece))
            said << QString::fromUtf8("边框图像 %1 不存在。").arg(QString::fromStdString(piece));
        if (unreadable(control, piece, said)) scheme.borderEnabled = 0;
    }
    return scheme;
}

PreviewRenderer::PreviewRenderer(Bitmap source, AppFolders appFolder, Shown shown, QObject* parent)
    : QObject(parent),
      source_(std::move(source)),
      appFolder_(std::move(appFolder)),
      shown_(std::move(shown)) {}

void PreviewRenderer::render(const Scheme& scheme, QSize box, int generation, QSize exact) {
    if (!exact.isValid()) exact = QSize(0, 0);
    worker_.submit(
        [this, control = control_, source = source_, appFolder = appFolder_, scheme, box, exact,
         generation](const std::atomic<bool>& superseded) -> LatestRequestWorker::Completion {
            if (superseded) return {};
            RenderedPreview preview;
            preview.generation = generation;
            CollectingReporter reporter;
            try {
                const Scheme drawable =
                    withReadableDecorations(scheme, appFolder, *control, reporter.said);
                const Bitmap result = applyScheme(*control, source, drawable, appFolder, reporter);
                if (superseded) return {};
                // Converting to a QImage runs the whole lazy pipeline.
                preview.picture = toQImage(FitToBox(*control, result, box.width(), box.height(),
                                                    exact.width(), exact.height()));
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
