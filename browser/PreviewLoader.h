#pragma once

#include "imaging/CImageBox.h"
#include "uikit/LatestRequestWorker.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

namespace varnetto {

// Draws the preview box's picture on a worker thread with its own imaging
// control. While one preview is being drawn, the newest request waits and
// runs next; older waiting requests are replaced by it.
class PreviewLoader : public QObject {
    Q_OBJECT
  public:
    explicit PreviewLoader(QObject* parent = nullptr);

    void request(const QString& path, QSize box);
    bool busy() const { return worker_.busy(); }

  Q_SIGNALS:
    void previewReady(const QString& path, const QImage& image);
    void previewMissing(const QString& path);
    void previewFailed(const QString& path, const QString& reason);

  private:
    // Used on the worker thread only, one job at a time.
    std::shared_ptr<CImageBox> control_ = std::make_shared<CImageBox>();
    LatestRequestWorker worker_{QStringLiteral("preview")};
};

}  // namespace varnetto
