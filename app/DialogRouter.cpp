#include "app/DialogRouter.h"

#include "manager/SchemeViewerDialog.h"
#include "viewer/FullScreenViewer.h"

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

int DialogRouter::fullScreenViewer(QWidget* owner, const ViewerRequest& request) {
    FullScreenViewer viewer(request, dialogs_, owner);
    return viewer.exec();
}

std::function<int(QWidget*, const ViewerRequest&)> DialogRouter::viewerOpener() {
    return [this](QWidget* owner, const ViewerRequest& request) {
        return fullScreenViewer(owner, request);
    };
}

void DialogRouter::about(QWidget*) {}

void DialogRouter::help(QWidget*) {}

}  // namespace varnetto
