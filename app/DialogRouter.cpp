#include "app/DialogRouter.h"

#include "app/SchemeChoiceDialog.h"
#include "common/AppFolder.h"
#include "editor/SchemeEditorDialog.h"
#include "manager/SchemeManagerDialog.h"
#include "manager/SchemeViewerDialog.h"
#include "uikit/WaitCursor.h"
#include "viewer/AboutDialog.h"
#include "viewer/FullScreenViewer.h"
#include "viewer/HelpTipsDialog.h"

#include <memory>

namespace varnetto {

int DialogRouter::schemeEditor(QWidget* owner, const EditorRequest& request) {
    EditorRequest opened = request;
    if (!opened.openViewer) opened.openViewer = viewerOpener();
    std::unique_ptr<SchemeEditorDialog> editor;
    {
        // Only while the picture is decoded: the user works in the editor.
        WaitCursor wait;
        editor = std::make_unique<SchemeEditorDialog>(std::move(opened), dialogs_, owner);
    }
    return editor->exec();
}

bool DialogRouter::schemeManager(QWidget* owner, const ManagerRequest& request) {
    ManagerRequest routed = request;
    if (!routed.openEditor) {
        routed.openEditor = [this](QWidget* parent, const EditorRequest& editor) {
            return schemeEditor(parent, editor);
        };
    }
    if (!routed.openViewer) routed.openViewer = viewerOpener();
    SchemeManagerDialog dialog(dialogs_, std::move(routed), owner);
    return dialog.exec() == 1;
}

std::optional<std::vector<std::string>> DialogRouter::schemeChoice(
    QWidget* owner, const SchemeChoiceRequest& request) {
    SchemeChoiceDialog dialog(request, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.checkedNames();
}

void DialogRouter::schemeViewer(QWidget* owner, const SchemeViewerRequest& request) {
    SchemeViewerDialog dialog(request, owner);
    dialog.exec();
}

int DialogRouter::fullScreenViewer(QWidget* owner, const ViewerRequest& request) {
    FullScreenViewer viewer(request, dialogs_, owner);
    return viewer.exec();
}

std::function<int(QWidget*, const ViewerRequest&)> DialogRouter::viewerOpener() {
    return [this](QWidget* owner, const ViewerRequest& request) {
        return fullScreenViewer(owner, request);
    };
}

void DialogRouter::about(QWidget* owner) {
    AboutDialog dialog(links_, dialogs_, folders_.storePath(), owner);
    dialog.exec();
}

void DialogRouter::help(QWidget* owner) {
    HelpTipsDialog dialog(links_, dialogs_, owner);
    dialog.exec();
}

}  // namespace varnetto
