#include "app/SchemePanel.h"
#include "app/SecondaryDialogs.h"
#include "app/Session.h"
#include "common/RegularFile.h"
#include "processing/ImageFiles.h"
#include "schemes/SchemeStore.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QComboBox>

namespace varnetto {

namespace {

// The picture the editor and the manager preview: the candidate when it is
// there, else the application folder's sample; and whether that one is there.
struct PreviewPicture {
    std::string path;
    bool there = false;
};

PreviewPicture findPreviewPicture(const std::string& candidate, const std::string& sample) {
    if (isNonFolder(candidate)) return {candidate, true};
    return {sample, isNonFolder(sample)};
}

// The editor opened on picture, with the session's store and folders.
EditorRequest editorRequestFor(EditorMode mode, const std::string& picture, Session& session) {
    EditorRequest request;
    request.mode = mode;
    request.imagePath = picture;
    request.appFolder = session.appFolder();
    request.store = session.store();
    return request;
}

}  // namespace

void SchemePanel::editCurrentScheme() {
    if (!currentScheme()) {
        parts_.dialogs.message(parts_.window, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    withPreviewPicture("图像 %1 不存在。", [this](const std::string& picture) {
        // The choice is read again: it may have changed meanwhile.
        Scheme* scheme = currentScheme();
        if (!scheme) {
            parts_.dialogs.message(parts_.window, text("没有选中的处理方案。"), MessageKind::Stop);
            return;
        }
        EditorRequest request = editorRequestFor(EditorMode::EditScheme, picture, parts_.session);
        request.scheme = scheme;
        if (parts_.secondary.schemeEditor(parts_.window, request) == 1)
            parts_.session.keepEditedSchemes(reporter_);
    });
}

void SchemePanel::openSchemeManager() {
    withPreviewPicture("预览图像 %1 不存在。", [this](const std::string& picture) {
        ManagerRequest request;
        request.appFolder = parts_.session.appFolder();
        request.imagePath = picture;
        if (parts_.secondary.schemeManager(parts_.window, request)) reloadSchemes();
    });
}

// The picture a scheme window opens with is looked for in the background; a
// missing one is said with missingText and goes no further.
void SchemePanel::withPreviewPicture(const char* missingText,
                                     std::function<void(const std::string&)> then) {
    Session& session = parts_.session;
    parts_.looks.look<PreviewPicture>(
        [candidate = session.previewCandidate(),
         sample = session.appFolder().application + "/Preview.jpg"] {
            return findPreviewPicture(candidate, sample);
        },
        [this, missingText, then = std::move(then)](PreviewPicture picture) {
            if (!picture.there) {
                parts_.dialogs.message(parts_.window,
                                       text(missingText).arg(QString::fromStdString(picture.path)),
                                       MessageKind::Stop);
                return;
            }
            then(picture.path);
        });
}

void SchemePanel::quickView() {
    SchemeViewerRequest request;
    if (const Scheme* scheme = currentScheme()) request.scheme = *scheme;
    parts_.secondary.schemeViewer(parts_.window, request);
}

void SchemePanel::effectPreview() {
    const ImageListModel& rows = parts_.session.rows();
    if (rows.lockedCount() == 0) {
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
    request.rows = parts_.session.viewerRows();
    request.scheme = *scheme;
    request.appFolder = parts_.session.appFolder();
    parts_.secondary.fullScreenViewer(parts_.window, request);
}

void SchemePanel::startLockedBatch() {
    const ImageListModel& rows = parts_.session.rows();
    if (rows.lockedCount() < 1) {
        parts_.dialogs.message(parts_.window, text("没有锁定的图像。"), MessageKind::Stop);
        return;
    }
    if (!currentScheme()) {
        parts_.dialogs.message(parts_.window, text("没有选中的处理方案。"), MessageKind::Stop);
        return;
    }
    showBatchDialog(rows.lockedCount(), [this] {
        BatchJob job;
        if (const Scheme* scheme = currentScheme()) job.scheme = *scheme;
        job.outputFolder = currentOutputFolder();
        job.sources = parts_.session.rows().lockedPaths();
        return job;
    });
}

void SchemePanel::startFolderBatch(const std::string& folder) {
    // Only the newest count opens the dialog.
    parts_.looks.look<std::vector<std::string>>(
        [folder] { return folder.empty() ? std::vector<std::string>() : listFolderImages(folder); },
        [this](std::vector<std::string> images) {
            const int count = static_cast<int>(images.size());
            showBatchDialog(count, [this, images = std::move(images)] {
                BatchJob job;
                job.sources = images;
                if (const Scheme* scheme = currentScheme()) job.scheme = *scheme;
                job.outputFolder = currentOutputFolder();
                return job;
            });
        });
}

void SchemePanel::showBatchDialog(int count, BatchDialog::JobSource source) {
    batchDialog_->prepare(choice_->currentText(), count, std::move(source));
    batchDialog_->exec();
}

void SchemePanel::singleImageProcessing() {
    const Session& session = parts_.session;
    const int first = session.firstSelectedRow();
    if (first < 0 || !session.rows().isRead(first)) return;
    openSingleImage(session.rows().rowPath(session.currentRow()), "图像 %1 不存在。");
}

void SchemePanel::singleImageOf(const std::string& path) {
    openSingleImage(path, "图像文件 %1 不存在！");
}

void SchemePanel::openSingleImage(const std::string& path, const char* missingMessage) {
    parts_.looks.look<bool>(
        [path] { return isNonFolder(path); },
        [this, path, missingMessage](bool there) {
            if (!there) {
                parts_.dialogs.message(parts_.window,
                                       text(missingMessage).arg(QString::fromStdString(path)),
                                       MessageKind::Stop);
                return;
            }
            parts_.secondary.schemeEditor(
                parts_.window, editorRequestFor(EditorMode::SingleImage, path, parts_.session));
        });
}

}  // namespace varnetto
