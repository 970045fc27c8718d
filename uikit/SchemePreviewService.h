#pragma once

#include "processing/SchemePreview.h"
#include "uikit/BackgroundJobs.h"

#include <QImage>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace varnetto {

class UserDialogs;

// One render as the window receives it.
struct ShownPreview {
    QImage picture;  // fitted to the box; null when nothing was drawn or no box was given
    Bitmap whole;    // the whole result, when no box was given
    QString failure;
    bool sourceFailed = false;  // the picture itself cannot be read
    QSize sourceSize;           // the whole source, upright, once decoded
    bool drawn() const { return failure.isEmpty(); }
};

// "Apply this scheme to this picture and show it in a box of this size" for
// one window. Renders run as background jobs on a cache of decoded pictures
// that windows may share (the manager hands its own to the editor it opens).
// What a render says about stamps and border pieces is shown by this window,
// on its own thread, once: a missing stamp is named the first time only,
// however many renders meet it.
class SchemePreviewService {
  public:
    using Shown = std::function<void(const ShownPreview&)>;

    SchemePreviewService(UserDialogs& dialogs, QWidget* window, AppFolders appFolder,
                         std::shared_ptr<PreviewCache> cache = nullptr);
    SchemePreviewService(const SchemePreviewService&) = delete;
    SchemePreviewService& operator=(const SchemePreviewService&) = delete;

    // Renders request as a job of jobs (whose order decides which renders
    // come back) and hands the result to shown on the window's thread, then
    // says what the render noted. jobs must not outlive this service.
    void render(BackgroundJobs& jobs, PreviewRequest request, Shown shown);

    // Shows a stop message unless this window has shown the same text.
    void reportOnce(const QString& message);
    void reportOnce(const std::vector<std::string>& notes);

    const std::shared_ptr<PreviewCache>& cache() const { return cache_; }
    const AppFolders& appFolder() const { return appFolder_; }

  private:
    UserDialogs& dialogs_;
    QPointer<QWidget> window_;
    AppFolders appFolder_;
    std::shared_ptr<PreviewCache> cache_;
    QSet<QString> said_;
};

}  // namespace varnetto
