// The bottom buttons of the scheme editor: "保存", "保存图像", "全屏预览".
#include "editor/GeneralPage.h"
#include "editor/SchemeEditorDialog.h"
#include "processing/OutputFolder.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QLineEdit>

#include <filesystem>

namespace varnetto {

namespace {

QString path(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

template <typename Value>
void SchemeEditorDialog::runCommand(std::function<Value(const JobToken&)> work,
                                    std::function<void(Value)> done) {
    ++commandsRunning_;
    showBusy();
    auto ended = [this] {
        --commandsRunning_;
        showBusy();
    };
    commandJobs_.run<Value>(
        std::move(work),
        [ended, done = std::move(done)](Value value) {
            ended();
            done(std::move(value));
        },
        [this, ended](const QString& reason) {
            ended();
            dialogs_.message(this, reason, MessageKind::Stop);
        });
}

void SchemeEditorDialog::withOutputFolder(const std::string& folder, std::function<void()> next) {
    runCommand<OutputFolderState>(
        [folder](const JobToken&) { return outputFolderState(folder); },
        [this, folder, next = std::move(next)](OutputFolderState state) {
            if (state == OutputFolderState::Ready) return next();
            if (state == OutputFolderState::Missing &&
                !dialogs_.ask(this, text("输出目录： %1  不存在，是否要创建？").arg(path(folder)),
                              MessageKind::Stop))
                return;
            runCommand<std::string>(
                [folder](const JobToken&) { return ensureOutputFolder(folder); },
                [this, folder, next](const std::string& refused) {
                    if (refused.empty()) return next();
                    dialogs_.message(this, text("无法创建输出目录： %1").arg(path(folder)),
                                     MessageKind::Stop);
                });
        });
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
    withOutputFolder(folder.toStdString(), [this] { finishSaveScheme(); });
}

void SchemeEditorDialog::finishSaveScheme() {
    QLineEdit* nameEdit = general_->nameEdit();
    if (request_.mode == EditorMode::NewScheme) {
        const std::string trimmed = nameEdit->text().trimmed().toStdString();
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
    withOutputFolder(folder.toStdString(), [this] { finishSaveImage(); });
}

void SchemeEditorDialog::finishSaveImage() {
    const std::optional<Scheme> scheme = readPages();
    if (!scheme) return;
    const std::string output = outputPath(*scheme, 1, request_.imagePath);
    if (const std::string refused = checkOutputPath(*scheme, output); !refused.empty()) {
        dialogs_.message(this, QString::fromStdString(refused), MessageKind::Stop);
        return;
    }
    runCommand<bool>(
        [output](const JobToken&) {
            std::error_code error;
            return std::filesystem::exists(output, error);
        },
        [this, output, scheme = *scheme](bool exists) {
            if (exists &&
                !dialogs_.ask(this, text("文件 %1 已经存在，是否要覆盖？").arg(path(output)),
                              MessageKind::Exclamation))
                return;
            writeImage(scheme);
        });
}

void SchemeEditorDialog::writeImage(const Scheme& scheme) {
    struct Saved {
        ProcessResult result;
        std::vector<std::string> notes;
    };
    // Read, processed and written in the background: a picture on a slow
    // disk or a dead mount must not freeze the dialog.
    runCommand<Saved>(
        [cache = previews_.cache(), source = request_.imagePath, scheme,
         appFolder = request_.appFolder](const JobToken& token) {
            Saved saved;
            std::error_code missing;
            if (!std::filesystem::exists(source, missing)) {
                saved.result.error = formatMessage("图像 %s 不存在。", source.c_str());
                return saved;
            }
            CollectingReporter reporter;
            try {
                const Bitmap decoded = cache->source(source, 0, 0).picture;
                // Closed meanwhile: nobody would hear how the save went.
                if (token.cancelled()) return saved;
                CImageBox control;
                saved.result = saveProcessed(control, decoded, source, 1, scheme, appFolder,
                                             reporter, cache.get());
            } catch (const std::exception& failure) {
                saved.result.error = failure.what();
            }
            saved.notes = std::move(reporter.said);
            return saved;
        },
        [this](Saved saved) {
            previews_.reportOnce(saved.notes);
            if (!saved.result.ok()) {
                dialogs_.message(this, QString::fromStdString(saved.result.error),
                                 MessageKind::Stop);
                return;
            }
            dialogs_.message(this, text("图像已经保存至 %1 。").arg(path(saved.result.outputPath)),
                             MessageKind::Information);
        });
}

void SchemeEditorDialog::fullScreenPreview() {
    const std::optional<Scheme> scheme = readPages();
    if (!scheme || !hasSource_) return;
    PreviewRequest whole;
    whole.sourcePath = request_.imagePath;
    whole.scheme = *scheme;
    ++commandsRunning_;
    showBusy();
    previews_.render(commandJobs_, std::move(whole), [this](const ShownPreview& shown) {
        --commandsRunning_;
        showBusy();
        if (!shown.drawn()) {
            dialogs_.message(this, shown.failure, MessageKind::Stop);
            return;
        }
        ViewerRequest request;
        request.mode = ViewerMode::ShowBitmap;
        request.appFolder = request_.appFolder;
        request.bitmap = shown.whole;
        if (request_.openViewer) request_.openViewer(this, request);
    });
}

}  // namespace varnetto
