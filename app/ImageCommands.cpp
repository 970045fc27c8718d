#include "app/ImageCommands.h"

#include "app/SecondaryDialogs.h"
#include "browser/ImageListView.h"
#include "browser/PreviewLoader.h"
#include "browser/RowLoader.h"
#include "browser/RowReader.h"
#include "common/ImageFormats.h"
#include "common/RegularFile.h"
#include "processing/ImageFiles.h"
#include "uikit/Artwork.h"
#include "uikit/StatusBarParts.h"
#include "uikit/UserDialogs.h"

#include <QItemSelection>
#include <QLabel>
#include <QStringList>

namespace varnetto {

namespace {

// The entries and patterns of the table of formats.
QString openFileFilter() {
    return QString::fromStdString(openFileFilterText());
}

}  // namespace

std::vector<ViewerRow> viewerRows(const ImageListModel& model) {
    std::vector<ViewerRow> rows;
    rows.reserve(static_cast<size_t>(model.rowCount()));
    for (int row = 0; row < model.rowCount(); ++row) {
        const ImageEntry& entry = model.entry(row);
        rows.push_back({model.rowPath(row), entry.lockState == kLocked, entry.facts.dimensionText,
                        entry.facts.sizeText, entry.facts.timeText});
    }
    return rows;
}

ImageCommands::ImageCommands(Parts parts, const ThumbnailArt& art)
    : QObject(parts.window), parts_(std::move(parts)), art_(art), listFolder_(listFolderImages) {
    ImageListModel& model = parts_.model;
    connect(&model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsRemoved(first, last); });
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        currentRow_ = -1;
        clearShownPicture();
    });
    connect(parts_.view.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ImageCommands::selectionChanged);

    rowLoader_ = std::make_unique<RowLoader>(art_);
    connect(rowLoader_.get(), &RowLoader::rowRead, this, &ImageCommands::rowRead);
    connect(rowLoader_.get(), &RowLoader::fileFactsRead, this,
            [this](quint64 id, const RowFacts& facts) { parts_.model.setFileFacts(id, facts); });
    connect(&parts_.view, &ImageListView::visibleRowsChanged, this,
            &ImageCommands::readVisibleRowsFirst);
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                const std::vector<std::uint64_t> ids = rowIds(first, last, false);
                rowLoader_->cancelRows(ids);
                forgetWaits(ids);
            });
    // A preview that arrives after its picture has gone from the list (or
    // after another was asked for) is not shown.
    previewLoader_ = std::make_unique<PreviewLoader>();
    connect(previewLoader_.get(), &PreviewLoader::previewReady, this,
            [this](const QString& path, const QImage& image) {
                if (path == previewPath_) parts_.previewBox.setPixmap(QPixmap::fromImage(image));
            });
    connect(previewLoader_.get(), &PreviewLoader::previewFailed, this, [this](const QString& path) {
        if (path == previewPath_)
            parts_.previewBox.setPixmap(QPixmap::fromImage(artwork::brokenPicture()));
    });
    connect(
        previewLoader_.get(), &PreviewLoader::previewMissing, this, [this](const QString& path) {
            if (path != previewPath_) return;
            parts_.dialogs.message(parts_.window, QString::fromUtf8("图像 %1 不存在。").arg(path),
                                   MessageKind::Stop);
        });
}

ImageCommands::~ImageCommands() {
    // Loaders report into the widgets: they go first.
    rowLoader_.reset();
    previewLoader_.reset();
}

void ImageCommands::chooseAndAddFile() {
    const QString path =
        parts_.dialogs.chooseOpenFile(parts_.window, openFileFilter(), QStringLiteral("*.jpg"));
    if (path.isEmpty()) return;
    const std::string full = path.toStdString();
    const auto slash = full.rfind('/');
    if (slash == std::string::npos) return;
    addSingleFile(full.substr(0, slash), full.substr(slash + 1));
}

void ImageCommands::selectAll() {
    parts_.view.selectAll();
}

void ImageCommands::invertSelection() {
    ImageListModel& model = parts_.model;
    parts_.view.setFocus();
    if (model.rowCount() == 0) return;
    const QItemSelection all(model.index(0), model.index(model.rowCount() - 1));
    parts_.view.selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void ImageCommands::deleteSelected() {
    const QList<int> rows = parts_.view.selectedRows();
    if (rows.isEmpty() || !parts_.model.isRead(rows.first())) return;
    const bool wasDeleting = deleting_;
    deleting_ = true;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) parts_.model.removeRowAt(*it);
    deleting_ = wasDeleting;
    refreshLockCounter();
}

void ImageCommands::deleteAll() {
    stopLoading();
    parts_.model.removeAllRows();
    refreshLockCounter();
}

void ImageCommands::lockSelected(LockState state) {
    const QList<int> rows = parts_.view.selectedRows();
    if (rows.isEmpty() || !parts_.model.isRead(rows.first())) return;
    WaitCursor wait;
    for (int row : rows) parts_.model.setLockState(row, state);
    refreshLockCounter();
}

void ImageCommands::lockAll(LockState state) {
    WaitCursor wait;
    for (int row = 0; row < parts_.model.rowCount(); ++row) parts_.model.setLockState(row, state);
    refreshLockCounter();
}

void ImageCommands::invertLock() {
    WaitCursor wait;
    for (int row = 0; row < parts_.model.rowCount(); ++row) parts_.model.toggleLock(row);
    refreshLockCounter();
}

void ImageCommands::toggleSelectedRow() {
    const QList<int> rows = parts_.view.selectedRows();
    if (rows.size() != 1 || !parts_.model.isRead(rows.first())) return;
    parts_.model.toggleLock(rows.first());
    refreshLockCounter();
}

void ImageCommands::setListViewMode(ListViewMode mode) {
    parts_.model.setViewMode(mode);
    parts_.view.applyViewMode(mode);
}

void ImageCommands::fullScreenFromSelection() {
    const int row = parts_.view.firstSelectedRow();
    if (row < 0 || !parts_.model.isRead(row)) return;
    ViewerRequest request;
    request.mode = ViewerMode::BrowseRows;
    request.startRow = row;
    request.rows = viewerRows(parts_.model);
    parts_.secondary.fullScreenViewer(parts_.window, request);
}

void ImageCommands::stopLoading() {
    rowLoader_->cancelAll();
    looksUnderWay_ = 0;
    waitedRows_.clear();
    locksWhenRead_.clear();
    updateWaitCursor();
}

std::string ImageCommands::previewImagePath() const {
    const int first = parts_.view.firstSelectedRow();
    const int row = first < 0 ? 0 : first;
    const std::string candidate =
        row < parts_.model.rowCount() ? parts_.model.rowPath(row) : std::string();
    if (!isNonFolder(candidate)) return parts_.appFolder.application + "/Preview.jpg";
    return candidate;
}

void ImageCommands::updateCurrentImageFacts() {
    if (!parts_.model.isRead(currentRow_)) return;
    const ImageEntry& row = parts_.model.entry(currentRow_);
    StatusBarParts& status = parts_.status;
    status.setText(2, row.lockState == kLocked ? QString::fromUtf8("图像被锁定") : QString());
    status.setText(3, {});
    status.setText(4, QString::fromStdString(parts_.model.rowPath(currentRow_)));
    status.setText(5, QString::fromStdString(row.facts.dimensionText));
    status.setText(6, QString::fromStdString(row.facts.sizeText));
    status.setText(7, QString::fromStdString(row.facts.timeText));
}

void ImageCommands::showPlaceholderFacts(int row) {
    // What the file tells before its picture is read; the size comes with it.
    const ImageEntry& entry = parts_.model.entry(row);
    StatusBarParts& status = parts_.status;
    status.setText(2, {});
    status.setText(3, {});
    status.setText(4, QString::fromStdString(parts_.model.rowPath(row)));
    status.setText(5, {});
    status.setText(6, QString::fromStdString(entry.facts.sizeText));
    status.setText(7, QString::fromStdString(entry.facts.timeText));
}

void ImageCommands::refreshLockCounter() {
    parts_.status.setText(1, QString::fromUtf8("%1 个图像被锁定").arg(parts_.model.lockedCount()));
}

void ImageCommands::requestPreview() {
    if (deleting_ || currentRow_ < 0 || !previewLoader_) return;
    const int first = parts_.view.firstSelectedRow();
    if (first < 0) return;
    previewPath_ = QString::fromStdString(parts_.model.rowPath(first));
    if (previewPath_.isEmpty()) return;
    previewLoader_->request(previewPath_, parts_.previewBox.contentsRect().size());
}

void ImageCommands::showTreeSelection(const std::string& path) {
    const auto slash = path.rfind('/');
    RowFacts facts;
    if (slash != std::string::npos) {
        readFileFacts(path.substr(0, slash), path.substr(slash + 1), facts);
    }
    StatusBarParts& status = parts_.status;
    status.setText(4, QString::fromStdString(path));
    status.setText(5, {});
    status.setText(6, QString::fromStdString(facts.sizeText));
    status.setText(7, QString::fromStdString(facts.timeText));
    if (!isNonFolder(path)) return;
    previewPath_ = QString::fromStdString(path);
    previewLoader_->request(previewPath_, parts_.previewBox.contentsRect().size());
}

void ImageCommands::fullScreenPicture(const std::string& path) {
    if (!isNonFolder(path)) {
        parts_.dialogs.message(
            parts_.window,
            QString::fromUtf8("图像文件 %1 不存在！").arg(QString::fromStdString(path)),
            MessageKind::Stop);
        return;
    }
    ViewerRequest request;
    request.mode = ViewerMode::ShowBitmap;
    request.picturePath = path;
    parts_.secondary.fullScreenViewer(parts_.window, request);
}

void ImageCommands::clearShownPicture() {
    for (int part : {2, 4, 5, 6, 7}) parts_.status.setText(part, {});
    parts_.previewBox.clear();
    previewPath_.clear();
}

void ImageCommands::selectionChanged() {
    // Rows leaving the selection one by one as they are deleted never
    // become the current row on their way out.
    if (deleting_) return;
    const QList<int> rows = parts_.view.selectedRows();
    if (rows.size() != 1) return;
    const int row = rows.first();
    if (row == currentRow_) return;
    currentRow_ = row;
    if (!parts_.model.isRead(row)) {
        showPlaceholderFacts(row);
        return;
    }
    requestPreview();
    updateCurrentImageFacts();
}

std::vector<std::uint64_t> ImageCommands::rowIds(int first, int last, bool unreadOnly) const {
    std::vector<std::uint64_t> ids;
    for (int row = std::max(first, 0); row <= last && row < parts_.model.rowCount(); ++row) {
        if (!unreadOnly || !parts_.model.isRead(row)) ids.push_back(parts_.model.entry(row).id);
    }
    return ids;
}

void ImageCommands::readVisibleRowsFirst(int first, int last) {
    rowLoader_->setVisibleRows(rowIds(first, last, true));
}

void ImageCommands::rowsRemoved(int first, int last) {
    // The current row follows its image, or is gone with it, and so are its
    // facts and preview.
    if (currentRow_ >= first && currentRow_ <= last) {
        currentRow_ = -1;
        clearShownPicture();
    } else if (currentRow_ > last) {
        currentRow_ -= last - first + 1;
    }
}

}  // namespace varnetto
