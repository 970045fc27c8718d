#include "browser/PreviewLoader.h"

#include "imaging/FitToBox.h"
#include "uikit/QtImage.h"

#include <QGuiApplication>

#include <filesystem>

namespace varnetto {

PreviewLoader::PreviewLoader(QObject* parent) : QObject(parent) {}

void PreviewLoader::request(const QString& path, QSize box) {
    // The box is sized in the window's units: on a high-density screen the
    // picture is fitted to as many pixels as the screen shows there.
    const qreal density = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    jobs_.submit([this, control = control_, path, density, box = (QSizeF(box) * density).toSize()](
                     const JobToken&) -> BackgroundJobs::Completion {
        const std::string file = path.toStdString();
        std::error_code error;
        if (path.isEmpty() || !std::filesystem::exists(file, error)) {
            return [this, path] { Q_EMIT previewMissing(path); };
        }
        try {
            control->Clear();
            control->LoadFromFile(file);
            const Bitmap picture = control->GetBitmap();
            control->Clear();
            QImage image = toQImage(FitToBox(*control, picture, box.width(), box.height()));
            image.setDevicePixelRatio(density);
            return [this, path, image] { Q_EMIT previewReady(path, image); };
        } catch (const std::exception& failure) {
            control->Clear();
            const QString reason = QString::fromUtf8(failure.what());
            return [this, path, reason] { Q_EMIT previewFailed(path, reason); };
        }
    });
}

}  // namespace varnetto
