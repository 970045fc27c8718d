#include "browser/PreviewLoader.h"

#include "browser/VipsQImage.h"
#include "imaging/CImageBox.h"
#include "imaging/FitToBox.h"

#include <filesystem>

namespace varnetto {

class PreviewLoader::Worker : public QObject {
    Q_OBJECT
  public:
    void render(const QString& path, QSize box) {
        const std::string file = path.toStdString();
        std::error_code error;
        if (path.isEmpty() || !std::filesystem::exists(file, error)) {
            Q_EMIT missing(path);
            return;
        }
        try {
            control_.Clear();
            control_.LoadFromFile(file);
            const Bitmap picture = control_.GetBitmap();
            control_.Clear();
            const Bitmap fitted = FitToBox(control_, picture, box.width(), box.height());
            Q_EMIT ready(path, toQImage(fitted));
        } catch (const std::exception& failure) {
            vips_error_clear();
            control_.Clear();
            Q_EMIT failed(path, QString::fromUtf8(failure.what()));
        }
    }

  Q_SIGNALS:
    void ready(const QString& path, const QImage& image);
    void missing(const QString& path);
    void failed(const QString& path, const QString& reason);

  private:
    CImageBox control_;
};

PreviewLoader::PreviewLoader(QObject* parent) : QObject(parent) {
    worker_ = new Worker;
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &Worker::ready, this, [this](const QString& path, const QImage& image) {
        finished();
        Q_EMIT previewReady(path, image);
    });
    connect(worker_, &Worker::missing, this, [this](const QString& path) {
        finished();
        Q_EMIT previewMissing(path);
    });
    connect(worker_, &Worker::failed, this, [this](const QString& path, const QString& reason) {
        finished();
        Q_EMIT previewFailed(path, reason);
    });
    thread_.setObjectName("preview");
    thread_.start();
}

PreviewLoader::~PreviewLoader() {
    thread_.quit();
    thread_.wait();
}

void PreviewLoader::request(const QString& path, QSize box) {
    if (busy_) {
        waiting_ = Request{path, box};
        return;
    }
    start({path, box});
}

void PreviewLoader::start(const Request& request) {
    busy_ = true;
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker, request] { worker->render(request.path, request.box); },
        Qt::QueuedConnection);
}

void PreviewLoader::finished() {
    busy_ = false;
    if (waiting_) {
        const Request next = *waiting_;
        waiting_.reset();
        start(next);
    }
}

}  // namespace varnetto

#include "PreviewLoader.moc"
