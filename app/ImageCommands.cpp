#include "app/ImageCommands.h"

#include "app/SecondaryDialogs.h"
#include "app/Session.h"
#include "common/ImageFormats.h"
#include "common/RegularFile.h"
#include "processing/ImageFiles.h"
#include "uikit/UserDialogs.h"

#include <QItemSelectionModel>
#include <QWidget>

namespace varnetto {

namespace {

// The entries and patterns of the table of formats.
QString openFileFilter() {
    return QString::fromStdString(openFileFilterText());
}

}  // namespace

ImageCommands::ImageCommands(Parts parts, const ThumbnailArt& art)
    : QObject(parts.window),
      parts_(std::move(parts)),
      rows_(parts_.session.rows()),
      listFolder_(listFolderImages) {
    rowLoader_ = std::make_unique<RowLoader>(art, this);
    rowLoader_->setObjectName("rowLoader");
    connect(rowLoader_.get(), &RowLoader::rowRead, this, &ImageCommands::rowRead);
    connect(rowLoader_.get(), &RowLoader::fileFactsRead, this,
            [this](quint64 id, const RowFacts& facts) { rows_.setFileFacts(id, facts); });
    connect(&rows_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                const std::vector<std::uint64_t> ids = rowIds(first, last, false);
                rowLoader_->cancelRows(ids);
                forgetWaits(ids);
            });
}

ImageCommands::~ImageCommands() {
    // The loader reports into the rows: it goes first.
    rowLoader_.reset();
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
    if (rows_.rowCount() == 0) return;
    const QItemSelection all(rows_.index(0), rows_.index(rows_.rowCount() - 1));
    parts_.session.selection().select(all, QItemSelectionModel::ClearAndSelect);
}

void ImageCommands::invertSelection() {
    if (rows_.rowCount() == 0) return;
    const QItemSelection all(rows_.index(0), rows_.index(rows_.rowCount() - 1));
    parts_.session.selection().select(all, QItemSelectionModel::Toggle);
}

void ImageCommands::deleteSelected() {
    const QList<int> rows = parts_.session.selectedRows();
    if (rows.isEmpty() || !rows_.isRead(rows.first())) return;
    parts_.session.removeRows(rows);
    parts_.session.refreshLockCount();
}

void ImageCommands::deleteAll() {
    stopLoading();
    rows_.removeAllRows();
    parts_.session.refreshLockCount();
}

void ImageCommands::lockSelected(LockState state) {
    const QList<int> rows = parts_.session.selectedRows();
    if (rows.isEmpty() || !rows_.isRead(rows.first())) return;
    WaitCursor wait;
    for (int row : rows) rows_.setLockState(row, state);
    parts_.session.refreshLockCount();
}

void ImageCommands::lockAll(LockState state) {
    WaitCursor wait;
    for (int row = 0; row < rows_.rowCount(); ++row) rows_.setLockState(row, state);
    parts_.session.refreshLockCount();
}

void ImageCommands::invertLock() {
    WaitCursor wait;
    for (int row = 0; row < rows_.rowCount(); ++row) rows_.toggleLock(row);
    parts_.session.refreshLockCount();
}

void ImageCommands::toggleSelectedRow() {
    const QList<int> rows = parts_.session.selectedRows();
    if (rows.size() != 1 || !rows_.isRead(rows.first())) return;
    rows_.toggleLock(rows.first());
    parts_.session.refreshLockCount();
}

void ImageCommands::fullScreenFromSelection() {
    const int row = parts_.session.firstSelectedRow();
    if (row < 0 || !rows_.isRead(row)) return;
    ViewerRequest request;
    request.mode = ViewerMode::BrowseRows;
    request.startRow = row;
    request.rows = parts_.session.viewerRows();
    parts_.secondary.fullScreenViewer(parts_.window, request);
}

void ImageCommands::fullScreenPicture(const std::string& path) {
    parts_.looks.look<bool>(
        [path] { return isNonFolder(path); },
        [this, path](bool there) {
            if (!there) {
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
        });
}

void ImageCommands::stopLoading() {
    rowLoader_->cancelAll();
    looksUnderWay_ = 0;
    waitedRows_.clear();
    locksWhenRead_.clear();
    updateWaitCursor();
}

std::vector<std::uint64_t> ImageCommands::rowIds(int first, int last, bool unreadOnly) const {
    std::vector<std::uint64_t> ids;
    for (int row = std::max(first, 0); row <= last && row < rows_.rowCount(); ++row) {
        if (!unreadOnly || !rows_.isRead(row)) ids.push_back(rows_.entry(row).id);
    }
    return ids;
}

void ImageCommands::readVisibleRowsFirst(int first, int last) {
    rowLoader_->setVisibleRows(rowIds(first, last, true));
}

}  // namespace varnetto
