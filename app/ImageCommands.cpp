#include "app/MainWindow.h"
#include "app/StatusBarParts.h"
#include "browser/ImageListView.h"
#include "browser/PreviewLoader.h"
#include "browser/RowLoader.h"
#include "browser/RowReader.h"
#include "processing/ImageFiles.h"

#include <QApplication>
#include <QItemSelection>
#include <QLabel>

namespace varnetto {

namespace {

// Restores the cursor on every way out of a long command.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Each display name keeps its tabs; the patterns in the last brackets are
// what the dialog filters by.
const char* const kOpenFileFilter =
    "JPEG 格式(*.jpg; *jpeg) (*.jpg *.jpeg);;"
    "位图文件(*.bmp; *.wbmp) (*.bmp *.wbmp);;"
    "\t\t图形转换格式(*.gif) (*.gif);;"
    "\t\tPNG 格式(*.png) (*.png);;"
    "WBM 格式(*.wbm) (*.wbm);;"
    "PCX 格式(*.pcx) (*.pcx);;"
    "\t\tPhotoshop 格式(*.psd) (*.psd);;"
    "TIFF 格式(*.tif; *.tiff) (*.tif *.tiff);;"
    "所有文件(*.*) (*)";

std::string withoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

void MainWindow::chooseAndLoadFolder() {
    currentFolder_.clear();
    const QString chosen = dialogs_.chooseFolder(this, QString::fromUtf8("选择图像目录"));
    currentFolder_ = withoutTrailingSlashes(chosen.toStdString());
    if (!currentFolder_.empty()) loadFolder(currentFolder_);
}

void MainWindow::loadFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& path : listFolderImages(folder)) {
        names.push_back(path.substr(path.rfind('/') + 1));
    }
    const auto ids = model_->appendPlaceholders(folder, names);
    rowLoader_->load(folder, names, ids);
}

void MainWindow::chooseAndAddFile() {
    const QString path =
        dialogs_.chooseOpenFile(this, QString::fromUtf8(kOpenFileFilter), QStringLiteral("*.jpg"));
    if (path.isEmpty()) return;
    const std::string full = path.toStdString();
    const auto slash = full.rfind('/');
    if (slash == std::string::npos) return;
    addSingleFile(full.substr(0, slash), full.substr(slash + 1));
}

void MainWindow::addSingleFile(const std::string& folder, const std::string& fileName) {
    const auto ids = model_->appendPlaceholders(folder, {fileName});
    WaitCursor wait;
    model_->fillRow(ids.front(), readRow(folder, fileName, art_));
}

void MainWindow::addAndLockFile(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return;
    addSingleFile(path.substr(0, slash), path.substr(slash + 1));
    model_->toggleLock(model_->rowCount() - 1);
    refreshLockCounter();
}

void MainWindow::selectAll() {
    view_->selectAll();
}

void MainWindow::invertSelection() {
    view_->setFocus();
    if (model_->rowCount() == 0) return;
    const QItemSelection all(model_->index(0), model_->index(model_->rowCount() - 1));
    view_->selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void MainWindow::deleteSelected() {
    const QList<int> rows = view_->selectedRows();
    if (rows.isEmpty() || !model_->isRead(rows.first())) return;
    const bool wasDeleting = deleting_;
    deleting_ = true;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) model_->removeRowAt(*it);
    deleting_ = wasDeleting;
    refreshLockCounter();
}

void MainWindow::deleteAll() {
    rowLoader_->cancelAll();
    model_->removeAllRows();
    refreshLockCounter();
}

void MainWindow::lockSelected(LockState state) {
    const QList<int> rows = view_->selectedRows();
    if (rows.isEmpty() || !model_->isRead(rows.first())) return;
    WaitCursor wait;
    for (int row : rows) model_->setLockState(row, state);
    refreshLockCounter();
}

void MainWindow::lockAll(LockState state) {
    WaitCursor wait;
    for (int row = 0; row < model_->rowCount(); ++row) model_->setLockState(row, state);
    refreshLockCounter();
}

void MainWindow::invertLock() {
    WaitCursor wait;
    for (int row = 0; row < model_->rowCount(); ++row) model_->toggleLock(row);
    refreshLockCounter();
}

void MainWindow::toggleSelectedRow() {
    const QList<int> rows = view_->selectedRows();
    if (rows.size() != 1 || !model_->isRead(rows.first())) return;
    model_->toggleLock(rows.first());
    refreshLockCounter();
}

void MainWindow::setListViewMode(ListViewMode mode) {
    model_->setViewMode(mode);
    view_->applyViewMode(mode);
}

void MainWindow::fullScreenFromSelection() {
    const int row = view_->firstSelectedRow();
    if (row < 0 || !model_->isRead(row)) return;
    viewerStartRow_ = row;
    secondary_.fullScreenViewer(this, SecondaryDialogs::kBrowseRows);
}

void MainWindow::selectionChanged() {
    const QList<int> rows = view_->selectedRows();
    if (rows.size() != 1) return;
    const int row = rows.first();
    if (row == currentRow_) return;
    currentRow_ = row;
    if (!model_->isRead(row)) return;
    requestPreview(row);
    updateCurrentImageFacts();
}

void MainWindow::requestPreview(int row) {
    if (deleting_ || row < 0 || !previewLoader_) return;
    const int first = view_->firstSelectedRow();
    if (first < 0) return;
    previewPath_ = QString::fromStdString(model_->rowPath(first));
    if (previewPath_.isEmpty()) return;
    previewLoader_->request(previewPath_, previewBox_->contentsRect().size());
}

void MainWindow::refreshLockCounter() {
    status_->setText(1, QString::fromUtf8("%1 个图像被锁定").arg(model_->lockedCount()));
}

void MainWindow::rowRead(quint64 id, const RowFacts& facts) {
    model_->fillRow(id, facts);
}

void MainWindow::rowsRemoved(int first, int last) {
    // The current row follows its image, or is gone with it.
    if (currentRow_ >= first && currentRow_ <= last) {
        currentRow_ = -1;
    } else if (currentRow_ > last) {
        currentRow_ -= last - first + 1;
    }
}

}  // namespace varnetto
