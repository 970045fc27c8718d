#include "app/DialogRouter.h"

#include "manager/SchemeViewerDialog.h"

namespace varnetto {

// Each window is opened here once it exists; until then its command does
// its checks in the main window and opens nothing.

int DialogRouter::schemeEditor(QWidget*, const EditorRequest&) {
    return 0;
}

bool DialogRouter::schemeManager(QWidget*, const ManagerRequest&) {
    return false;
}

void DialogRouter::schemeViewer(QWidget* owner, const SchemeViewerRequest& request) {
    SchemeViewerDialog dialog(request, owner);
    dialog.exec();
}

int DialogRouter::fullScreenViewer(QWidget*, const ViewerRequest&) {
    return 0;
}

void DialogRouter::about(QWidget*) {}

void DialogRouter::help(QWidget*) {}

}  // namespace varnetto
