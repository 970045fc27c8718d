#include "app/DialogRouter.h"

#include "editor/SchemeEditorDialog.h"
#include "manager/SchemeManagerDialog.h"
#include "uikit/WaitCursor.h"
#include "viewer/AboutDialog.h"
#include "viewer/HelpTipsDialog.h"

#include <memory>

namespace varnetto {

// Each window is opened here once it exists; until then its command does
// its checks in the main window and opens nothing.

int DialogRouter::schemeEditor(QWidget* owner, const EditorRequest& request) {
    EditorRequest opened = request;
    if (!opened.openViewer) {
        opened.openViewer = [this](QWidget* viewerOwner, const ViewerRequest& viewer) {
            return fullScreenViewer(viewerOwner, viewer);
        };
    }
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
    if (!routed.openViewer) {
        routed.openViewer = [this](QWidget* parent, const ViewerRequest& viewer) {
            return fullScreenViewer(parent, viewer);
        };
    }
    SchemeManagerDialog dialog(dialogs_, std::move(routed), owner);
    return dialog.exec() == 1;
}

void DialogRouter::schemeViewer(QWidget*, const SchemeViewerRequest&) {}

int DialogRouter::fullScreenViewer(QWidget*, const ViewerRequest&) {
    return 0;
}

void DialogRouter::about(QWidget* owner) {
    AboutDialog dialog(links_, dialogs_, owner);
    dialog.exec();
}

void DialogRouter::help(QWidget* owner) {
    HelpTipsDialog dialog(links_, dialogs_, owner);
    dialog.exec();
}

}  // namespace varnetto
