// The bottom buttons of the scheme editor: "保存", "保存图像", "全屏预览".
#include "editor/GeneralPage.h"
#include "editor/SchemeEditorDialog.h"
#include "processing/OutputFolder.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"
#include "uikit/UiReporter.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"
#include "uikit/WaitCursor.h"

#include <QLineEdit>

#include <filesystem>

namespace varnetto {

namespace {

QString path(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

bool SchemeEditorDialog::ensureFolder(const std::string& folder) {
    if (outputFolderState(folder) == OutputFolderState::Missing &&
        !dialogs_.ask(this, text("输出目录： %1  不存在，是否要创建？").arg(path(folder)),
                      MessageKind::Stop))
        return false;
    if (!ensureOutputFolder(folder).empty()) {
        dialogs_.message(this, text("无法创建输出目录： %1").arg(path(folder)), MessageKind::Stop);
        return false;
    }
    return true;
}

void SchemeEditorDialog::saveScheme() {
    QLineEdit* nameEdit = general_->nameEdit();
    QLineEdit* folderEdit = general_->outputFolderEdit();
    const QString name = nameEdit->text().trimmed();
    if (name.isEmpty()) {
        refuseAt(nameEdit, text("请输入处理方案名称！"));
        return;
    }
    const QString folder = folderEdit->text().trimmed();
    if (folder.isEmpty()) {
        refuseAt(folderEdit, text("请输入图像处理的输出路径！"));
        return;
    }
    if (!ensureFolder(folder.toStdString())) return;
    if (request_.mode == EditorMode::NewScheme) {
        const std::string trimmed = name.toStdString();
        const bool taken = request_.nameExists ? request_.nameExists(trimmed)
                           : request_.store    ? request_.store->findByName(trimmed) != nullptr
                                               : false;
        if (taken) {
            refuseAt(nameEdit, text("处理方案名称已经存在，请重新输入！"));
            return;
        }
    }
    const std::optional<Scheme> scheme = readPages();
    if (!scheme) return;
    // A prefix may not lead the output files out of their folder.
    if (scheme->namingMode == stored(NamingMode::Rename)) {
        const std::string refused =
            checkOutputPath(*scheme, outputPath(*scheme, 1, request_.imagePath));
        if (!refused.empty()) {
            refuseAt(general_->renamePrefixEdit(), QString::fromStdString(refused));
            return;
        }
    }
    if (request_.scheme) {
        *request_.scheme = *scheme;
    } else {
        ownScheme_ = *scheme;
    }
    done(1);
}

void SchemeEditorDialog::saveImage() {
    QLineEdit* folderEdit = general_->outputFolderEdit();
    const QString folder = folderEdit->text().trimmed();
    if (folder.isEmpty()) {
        refuseAt(folderEdit, text("请选择图像的目标路径！"));
        return;
    }
    if (!ensureFolder(folder.toStdString())) return;
    const std::optional<Scheme> scheme = readPages();
    if (!scheme) return;
    const std::string output = outputPath(*scheme, 1, request_.imagePath);
    if (const std::string refused = checkOutputPath(*scheme, output); !refused.empty()) {
        dialogs_.message(this, QString::fromStdString(refused), MessageKind::Stop);
        return;
    }
    std::error_code error;
    if (std::filesystem::exists(output, error) &&
        !dialogs_.ask(this, text("文件 %1 已经存在，是否要覆盖？").arg(path(output)),
                      MessageKind::Exclamation))
        return;
    ProcessResult result;
    {
        WaitCursor wait;
        CImageBox control;
        UiReporter reporter(dialogs_, this);
        result = processFile(control, request_.imagePath, 1, *scheme, true, request_.appFolder,
                             reporter, false);
    }
    if (!result.ok()) {
        dialogs_.message(this, QString::fromStdString(result.error), MessageKind::Stop);
        return;
    }
    dialogs_.message(this, text("图像已经保存至 %1 。").arg(path(result.outputPath)),
                     MessageKind::Information);
}

void SchemeEditorDialog::fullScreenPreview() {
    const std::optional<Scheme> scheme = readPages();
    if (!scheme || !hasSource_) return;
    ViewerRequest request;
    request.mode = ViewerMode::ShowBitmap;
    request.appFolder = request_.appFolder;
    try {
        WaitCursor wait;
        CImageBox control;
        UiReporter reporter(dialogs_, this);
        request.bitmap = applyScheme(control, source_, *scheme, request_.appFolder, reporter);
    } catch (const std::exception& failure) {
        dialogs_.message(this, QString::fromUtf8(failure.what()), MessageKind::Stop);
        return;
    }
    if (request_.openViewer) request_.openViewer(this, request);
}

}  // namespace varnetto
