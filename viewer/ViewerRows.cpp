#include "viewer/ViewerRows.h"

#include "processing/SchemePipeline.h"
#include "processing/SchemePreview.h"
#include "uikit/QtImage.h"

#include <exception>
#include <functional>

namespace varnetto {

namespace {

// The first view at actual size, then the overview that stands in for tiles
// not rendered yet.
void prepareViews(PreparedPicture& prepared, const Preparation& preparation) {
    ZoomablePicture& picture = *prepared.picture;
    const QSize area = preparation.area;
    // In the screen's pixels, as the window draws its tiles.
    const ViewState view = inScreenPixels(
        shownAtActualSize({0, 0, area.width(), area.height()}, picture.width(), picture.height()),
        preparation.density);
    prepared.firstView =
        renderTiles(picture, view.scaleX(), view.scaleY(),
                    tilesCovering(visibleScaledRect(view), scaledPictureSize(view)));
    if (!preparation.wantedNow && !preparation.token.stopRequested())
        prepared.overview = toQImage(picture.overview()).convertToFormat(QImage::Format_RGB32);
}

PreparedPicture prepare(int row, const std::string& path, const Preparation& preparation,
                        const std::function<std::shared_ptr<ZoomablePicture>()>& make) {
    PreparedPicture prepared;
    prepared.row = row;
    try {
        prepared.picture = make();
        prepareViews(prepared, preparation);
    } catch (const std::exception& error) {
        prepared.picture.reset();
        prepared.firstView = {};
        prepared.overview = {};
        // Imaging errors name the file already.
        const QString reason = QString::fromUtf8(error.what());
        prepared.failure = path.empty() || reason.contains(QString::fromStdString(path))
                               ? reason
                               : QString::fromUtf8("无法读取图像 %1：%2")
                                     .arg(QString::fromStdString(path), reason);
    }
    return prepared;
}

}  // namespace

QString viewerInfoText(const ViewerRow& row) {
    if (row.path.empty()) return {};
    return QString::fromStdString(row.path) + "\n" + QString::fromUtf8("图像大小：") +
           QString::fromStdString(row.dimensionText) + QString::fromUtf8("     文件大小：") +
           QString::fromStdString(row.sizeText) + QString::fromUtf8("     日期：") +
           QString::fromStdString(row.timeText);
}

PreparedPicture loadViewerRow(int row, const std::string& path, const Preparation& preparation) {
    const QSize area = preparation.area;
    return prepare(row, path, preparation,
                   [&] { return ZoomablePicture::open(path, area.width(), area.height()); });
}

PreparedPicture renderLockedRow(PreviewCache& cache, int row, const ViewerRow& entry,
                                const Scheme& scheme, const AppFolders& appFolder,
                                const Preparation& preparation) {
    const QSize area = preparation.area;
    PreviewRequest request;
    request.sourcePath = entry.path;
    request.scheme = scheme;
    PreviewRender rendered =
        renderPreview(cache, request, appFolder, [&] { return preparation.token.stopRequested(); });
    if (!rendered.failure.empty()) {
        PreparedPicture failed;
        failed.row = row;
        failed.failure = QString::fromStdString(failureText(entry.path, rendered.failure));
        failed.notes = std::move(rendered.notes);
        return failed;
    }
    PreparedPicture prepared = prepare(row, entry.path, preparation, [&] {
        return ZoomablePicture::fromBitmap(rendered.picture, area.width(), area.height());
    });
    prepared.notes = std::move(rendered.notes);
    return prepared;
}

PreparedPicture prepareBitmap(const Bitmap& bitmap, const Preparation& preparation) {
    const QSize area = preparation.area;
    return prepare(-1, {}, preparation, [&] {
        return ZoomablePicture::fromBitmap(bitmap, area.width(), area.height());
    });
}

}  // namespace varnetto
