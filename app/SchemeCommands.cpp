#include "app/MainWindow.h"
#include "app/StatusBarParts.h"
#include "browser/ImageListView.h"
#include "processing/ImageFiles.h"

#include <QComboBox>

#include <filesystem>

namespace varnetto {

namespace {

bool fileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error) &&
           !std::filesystem::is_directory(path, error);
}

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

void MainWindow::reloadSchemes() {
    if (!store_) store_ = std::make_unique<SchemeStore>(appFolder_);
    store_->load(reporter_);
    fillSchemeChoice(*store_);
}

void MainWindow::fillSchemeChoice(const SchemeStore& store) {
    const QString remembered =
        schemeChoice_->currentIndex() >= 0 ? schemeChoice_->currentText() : "";
    schemeChoice_->clear();
    for (const Scheme& scheme : store) schemeChoice_->addItem(QString::fromStdString(scheme.name));
    if (schemeChoice_->count() == 0) return;
    const int found = schemeChoice_->findText(remembered, Qt::MatchStartsWith);
    schemeChoice_->setCurrentIndex(found >= 0 ? found : 0);
}

Scheme* MainWindow::currentScheme() {
    if (!store_ || schemeChoice_->currentIndex() < 0) return nullptr;
    return store_->findByName(schemeChoice_->currentText().toStdString());
}

std::string MainWindow::currentOutputFolder() {
    const Scheme* scheme = currentScheme();
    return scheme ? scheme->outputFolder : std::string();
}

std::string MainWindow::previewImagePath() const {
    const int first = view_->firstSelectedRow();
    const int row = first < 0 ? 0 : first;
    const std::string candidate = row < model_->rowCount() ? model_->rowPath(row) : std::string();
    if (!fileExists(candidate)) return appFolder_ + "/Preview.jpg";
    return candidate;
}

int MainWindow::lockedImageCount() const {
    return model_->lockedCount();
}

void MainWindow::updateCurrentImageFacts() {
    if (!model_->isRead(currentRow_)) return;
    const ImageEntry& row = model_->entry(currentRow_);
    status_->setText(2, row.lockState == kLocked ? text("图像被锁定") : QString());
    status_->setText(3, {});
    status_->setText(4, QString::fromStdString(model_->rowPath(currentRow_)));
    status_->setText(5, QString::fromStdString(row.facts.dimensionText));
    status_->setText(6, QString::fromStdString(row.facts.sizeText));
    status_->setText(7, QString::fromStdString(row.facts.timeText));
}

void MainWindow::editCurrentScheme() {
    Scheme* scheme = currentScheme();
    if (!scheme) {
        dialogs_.message(this, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    const std::string path = previewImagePath();
    if (!fileExists(path)) {
        dialogs_.message(this, text("图像 %1 不存在。").arg(QString::fromStdString(path)),
                         MessageKind::Stop);
        return;
    }
    if (secondary_.schemeEditor(this, SecondaryDialogs::kEditScheme, path, scheme) == 1) {
        fillSchemeChoice(*store_);
        store_->save(reporter_);
    }
}

void MainWindow::openSchemeManager() {
    const std::string path = previewImagePath();
    if (!fileExists(path)) {
        dialogs_.message(this, text("预览图像 %1 不存在。").arg(QString::fromStdString(path)),
                         MessageKind::Stop);
        return;
    }
    secondary_.schemeManager(this, path);
}

void MainWindow::quickView() {
    secondary_.schemeViewer(this);
}

void MainWindow::effectPreview() {
    if (lockedImageCount() == 0) {
        dialogs_.message(this, text("    没有锁定的图像。    "), MessageKind::Stop);
        return;
    }
    if (!currentScheme()) {
        dialogs_.message(this, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    lockedCursor_ = -1;
    secondary_.fullScreenViewer(this, SecondaryDialogs::kLockedPreview);
}

void MainWindow::startLockedBatch() {
    if (lockedImageCount() < 1) {
        dialogs_.message(this, text("没有锁定的图像。"), MessageKind::Stop);
        return;
    }
    if (!currentScheme()) {
        dialogs_.message(this, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    batchSource_ = 1;
    showBatchDialog(schemeChoice_->currentText(), lockedImageCount(), [this] {
        BatchJob job;
        if (const Scheme* scheme = currentScheme()) job.scheme = *scheme;
        job.outputFolder = currentOutputFolder();
        job.sources = model_->lockedPaths();
        return job;
    });
}

void MainWindow::startFolderBatch(const std::string& folder) {
    batchFolder_ = folder;
    batchSource_ = 2;
    const int count = folder.empty() ? 0 : static_cast<int>(listFolderImages(folder).size());
    showBatchDialog(schemeChoice_->currentText(), count, [this] {
        BatchJob job;
        if (!batchFolder_.empty()) job.sources = listFolderImages(batchFolder_);
        if (const Scheme* scheme = currentScheme()) job.scheme = *scheme;
        job.outputFolder = currentOutputFolder();
        return job;
    });
}

void MainWindow::showBatchDialog(const QString& schemeName, int count,
                                 BatchDialog::JobSource source) {
    batchActive_ = true;
    batchDialog_->prepare(schemeName, count, std::move(source));
    batchDialog_->exec();
    batchActive_ = false;
}

void MainWindow::singleImageProcessing() {
    const int first = view_->firstSelectedRow();
    if (first < 0 || !model_->isRead(first)) return;
    const std::string path = model_->rowPath(currentRow_);
    if (!fileExists(path)) {
        dialogs_.message(this, text("图像 %1 不存在。").arg(QString::fromStdString(path)),
                         MessageKind::Stop);
        return;
    }
    secondary_.schemeEditor(this, SecondaryDialogs::kSingleImage, path, nullptr);
}

}  // namespace varnetto
