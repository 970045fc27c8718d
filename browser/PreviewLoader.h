#pragma once

#include "imaging/CImageBox.h"
#include "uikit/BackgroundJobs.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

namespace varnetto {

// Draws the preview box's picture in the background with its own imaging
// control. While one preview is being drawn, the newest request waits and
// runs next; older waiting requests are replaced by it. The one being drawn
// is still shown when it is done.
class PreviewLoader : public QObject {
    Q_OBJECT
  public:
    explicit PreviewLoader(QObject* parent = nullptr);

    void request(const QString& path, QSize box);
    bool busy() const { return jobs_.busy(); }

  Q_SIGNALS:
    void previewReady(const QString& path, const QImage& image);
    void previewMissing(const QString& path);
    void previewFailed(const QString& path, const QString& reason);

  private:
    // Used by one job at a time.
    std::shared_ptr<CImageBox> control_ = std::make_shared<CImageBox>();
    BackgroundJobs jobs_{JobOrder::NewestRunsNext};
};

}  // namespace varnetto
