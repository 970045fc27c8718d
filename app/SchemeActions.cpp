#include "app/ImageCommands.h"
#include "app/SchemePanel.h"
#include "app/SecondaryDialogs.h"
#include "browser/ImageListView.h"
#include "common/RegularFile.h"
#include "processing/ImageFiles.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QComboBox>

namespace varnetto {

void SchemePanel::editCurrentScheme() {
    Scheme* scheme = currentScheme();
    if (!scheme) {
        parts_.dialogs.message(parts_.window, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    const std::string path = parts_.images.previewImagePath();
    if (!isNonFolder(path)) {
        parts_.dialogs.message(parts_.window,
                               text("图像 %1 不存在。").arg(QString::fromStdString(path)),
                               MessageKind::Stop);
        return;
    }
    EditorRequest request;
    request.mode = EditorMode::EditScheme;
    request.imagePath = path;
    request.appFolder = parts_.appFolder;
    request.store = store_.get();
    request.scheme = scheme;
    if (parts_.secondary.schemeEditor(parts_.window, request) == 1) {
        fillSchemeChoice(*store_);
        store_->save(reporter_);
    }
}

void SchemePanel::openSchemeManager() {
    const std::string path = parts_.images.previewImagePath();
    if (!isNonFolder(path)) {
        parts_.dialogs.message(parts_.window,
                               text("预览图像 %1 不存在。").arg(QString::fromStdString(path)),
                               MessageKind::Stop);
        return;
    }
    ManagerRequest request;
    request.appFolder = parts_.appFolder;
    request.imagePath = path;
    if (parts_.secondary.schemeManager(parts_.window, request)) reloadSchemes();
}

void SchemePanel::quickView() {
    SchemeViewerRequest request;
    if (const Scheme* scheme = currentScheme()) request.scheme = *scheme;
    parts_.secondary.schemeViewer(parts_.window, request);
}

void SchemePanel::effectPreview() {
    if (parts_.model.lockedCount() == 0) {
        parts_.dialogs.message(parts_.window, text("    没有锁定的图像。    "), MessageKind::Stop);
        return;
    }
    const Scheme* scheme = currentScheme();
    if (!scheme) {
        parts_.dialogs.message(parts_.window, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    ViewerRequest request;
    request.mode = ViewerMode::LockedPreview;
    request.rows = viewerRows(parts_.model);
    request.scheme = *scheme;
    request.appFolder = parts_.appFolder;
    parts_.secondary.fullScreenViewer(parts_.window, request);
}

void SchemePanel::startLockedBatch() {
    if (parts_.model.lockedCount() < 1) {
        parts_.dialogs.message(parts_.window, text("没有锁定的图像。"), MessageKind::Stop);
        return;
    }
    if (!currentScheme()) {
        parts_.dialogs.message(parts_.window, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    batchSource_ = BatchSource::LockedRows;
    showBatchDialog(parts_.model.lockedCount(), [this] {
        BatchJob job;
        if (const Scheme* scheme = currentScheme()) job.scheme = *scheme;
        job.outputFolder = currentOutputFolder();
        job.sources = parts_.model.lockedPaths();
        return job;
    });
}

void SchemePanel::startFolderBatch(const std::string& folder) {
    batchSource_ = BatchSource::Folder;
    // Only the newest count opens the dialog.
    folderCounts_.cancelAll();
    countingCursor_.emplace();
    folderCounts_.run<std::vector<std::string>>(
        [folder](const JobToken&) {
            return folder.empty() ? std::vector<std::string>() : listFolderImages(folder);
        },
        [this](std::vector<std::string> images) {
            countingCursor_.reset();
            const int count = static_cast<int>(images.size());
            showBatchDialog(count, [this, images = std::move(images)] {
                BatchJob job;
                job.sources = images;
                if (const Scheme* scheme = currentScheme()) job.scheme = *scheme;
                job.outputFolder = currentOutputFolder();
                return job;
            });
        },
        [this](const QString&) { countingCursor_.reset(); });
}

void SchemePanel::showBatchDialog(int count, BatchDialog::JobSource source) {
    batchActive_ = true;
    batchDialog_->prepare(choice_->currentText(), count, std::move(source));
    batchDialog_->exec();
    batchActive_ = false;
}

void SchemePanel::singleImageProcessing() {
    const int first = parts_.view.firstSelectedRow();
    if (first < 0 || !parts_.model.isRead(first)) return;
    openSingleImage(parts_.model.rowPath(parts_.images.currentRow()), "图像 %1 不存在。");
}

void SchemePanel::singleImageOf(const std::string& path) {
    openSingleImage(path, "图像文件 %1 不存在！");
}

void SchemePanel::openSingleImage(const std::string& path, const char* missingMessage) {
    if (!isNonFolder(path)) {
        parts_.dialogs.message(parts_.window,
                               text(missingMessage).arg(QString::fromStdString(path)),
                               MessageKind::Stop);
        return;
    }
    EditorRequest request;
    request.mode = EditorMode::SingleImage;
    request.imagePath = path;
    request.appFolder = parts_.appFolder;
    request.store = store_.get();
    parts_.secondary.schemeEditor(parts_.window, request);
}

}  // namespace varnetto
