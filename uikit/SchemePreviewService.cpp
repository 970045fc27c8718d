#include "uikit/SchemePreviewService.h"

#include "uikit/QtImage.h"
#include "uikit/UserDialogs.h"

#include <QWidget>

#include <cmath>

namespace varnetto {

SchemePreviewService::SchemePreviewService(UserDialogs& dialogs, QWidget* window,
                                           AppFolders appFolder,
                                           std::shared_ptr<PreviewCache> cache)
    : dialogs_(dialogs),
      window_(window),
      appFolder_(std::move(appFolder)),
      cache_(cache ? std::move(cache) : std::make_shared<PreviewCache>()) {}

void SchemePreviewService::render(BackgroundJobs& jobs, PreviewRequest request, Shown shown) {
    // Boxes are sized in the window's units; on a high-density screen the
    // picture is drawn from as many pixels as the screen shows there.
    const qreal density = window_ ? window_->devicePixelRatioF() : 1.0;
    if (density != 1.0 && request.boxWidth > 0 && request.boxHeight > 0) {
        request.boxWidth = static_cast<int>(std::lround(request.boxWidth * density));
        request.boxHeight = static_cast<int>(std::lround(request.boxHeight * density));
    }
    // The job owns everything it reads: a window may close while it runs.
    jobs.submit([this, cache = cache_, appFolder = appFolder_, request = std::move(request),
                 density,
                 shown = std::move(shown)](const JobToken& token) -> BackgroundJobs::Completion {
        PreviewRender rendered =
            renderPreview(*cache, request, appFolder, [&token] { return token.stopRequested(); });
        if (token.stopRequested()) return {};
        ShownPreview preview;
        preview.failure = QString::fromStdString(rendered.failure);
        preview.sourceFailed = rendered.sourceFailed;
        preview.sourceSize = QSize(rendered.sourceWidth, rendered.sourceHeight);
        const bool whole = request.boxWidth <= 0 || request.boxHeight <= 0;
        if (rendered.failure.empty() && whole) {
            preview.whole = rendered.picture;
        } else if (rendered.failure.empty()) {
            try {
                // Converting runs the whole lazy pipeline, here rather than on
                // the window's thread.
                preview.picture = toQImage(rendered.picture);
                preview.picture.setDevicePixelRatio(density);
            } catch (const std::exception& failure) {
                preview.failure = QString::fromUtf8(failure.what());
            }
        }
        return [this, shown, preview, notes = std::move(rendered.notes)] {
            shown(preview);
            reportOnce(notes);
        };
    });
}

void SchemePreviewService::reportOnce(const QString& message) {
    if (said_.contains(message)) return;
    said_.insert(message);
    dialogs_.message(window_, message, MessageKind::Stop);
}

void SchemePreviewService::reportOnce(const std::vector<std::string>& notes) {
    for (const std::string& note : notes) reportOnce(QString::fromStdString(note));
}

}  // namespace varnetto
