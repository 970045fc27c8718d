#include "app/MainWindow.h"
#include "app/StatusBarParts.h"
#include "browser/PreviewLoader.h"
#include "browser/RowReader.h"

#include <QLabel>

#include <filesystem>

namespace varnetto {

namespace {

bool isFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
}

}  // namespace

void MainWindow::treeSelectionChanged(const std::string& path) {
    const auto slash = path.rfind('/');
    RowFacts facts;
    if (slash != std::string::npos) {
        readFileFacts(path.substr(0, slash), path.substr(slash + 1), facts);
    }
    status_->setText(4, QString::fromStdString(path));
    status_->setText(5, {});
    status_->setText(6, QString::fromStdString(facts.sizeText));
    status_->setText(7, QString::fromStdString(facts.timeText));
    if (!isFile(path)) return;
    previewPath_ = QString::fromStdString(path);
    previewLoader_->request(previewPath_, previewBox_->contentsRect().size());
}

void MainWindow::treeFileFullScreen(const std::string& path) {
    if (!isFile(path)) {
        dialogs_.message(
            this, QString::fromUtf8("图像文件 %1 不存在！").arg(QString::fromStdString(path)),
            MessageKind::Stop);
        return;
    }
    secondary_.fullScreenPicture(this, path);
}

void MainWindow::treeFileSingleImage(const std::string& path) {
    if (!isFile(path)) {
        dialogs_.message(
            this, QString::fromUtf8("图像文件 %1 不存在！").arg(QString::fromStdString(path)),
            MessageKind::Stop);
        return;
    }
    secondary_.schemeEditor(this, SecondaryDialogs::kSingleImage, path, nullptr);
}

}  // namespace varnetto
