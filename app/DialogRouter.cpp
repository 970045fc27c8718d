#include "app/DialogRouter.h"

#include "manager/SchemeManagerDialog.h"

namespace varnetto {

// Each window is opened here once it exists; until then its command does
// its checks in the main window and opens nothing.

int DialogRouter::schemeEditor(QWidget*, const EditorRequest&) {
    return 0;
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

void DialogRouter::about(QWidget*) {}

void DialogRouter::help(QWidget*) {}

}  // namespace varnetto
