#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThread>

#include <optional>

namespace varnetto {

// Draws the preview box's picture on a worker thread with its own imaging
// control. While one preview is being drawn, the newest request waits and
// runs next; older waiting requests are replaced by it.
class PreviewLoader : public QObject {
    Q_OBJECT
  public:
    explicit PreviewLoader(QObject* parent = nullptr);
    ~PreviewLoader() override;

    void request(const QString& path, QSize box);
    bool busy() const { return busy_; }

  Q_SIGNALS:
    void previewReady(const QString& path, const QImage& image);
    void previewMissing(const QString& path);
    void previewFailed(const QString& path, const QString& reason);

  private:
    struct Request {
        QString path;
        QSize box;
    };
    class Worker;

    void start(const Request& request);
    void finished();

    QThread thread_;
    Worker* worker_ = nullptr;
    bool busy_ = false;
    std::optional<Request> waiting_;
};

}  // namespace varnetto
