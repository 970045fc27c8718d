#pragma once

#include "editor/EditorRequest.h"
#include "manager/ManagerRequests.h"
#include "viewer/ViewerRequest.h"

class QWidget;

namespace varnetto {

// Where the main window's commands open the other windows (scheme editor,
// manager and viewer, full-screen viewer, about, help). The main window makes
// every check and shows every message itself, then hands each window what it
// shows as a request; no window reaches back into the main window.
class SecondaryDialogs {
  public:
    virtual ~SecondaryDialogs() = default;
    // The editor's result: 1 when the user saved the scheme.
    virtual int schemeEditor(QWidget* owner, const EditorRequest& request) = 0;
    // True when the manager saved the store file.
    virtual bool schemeManager(QWidget* owner, const ManagerRequest& request) = 0;
    virtual void schemeViewer(QWidget* owner, const SchemeViewerRequest& request) = 0;
    // The viewer's result: 1 after a double click, 2 after Esc.
    virtual int fullScreenViewer(QWidget* owner, const ViewerRequest& request) = 0;
    virtual void about(QWidget* owner) = 0;
    virtual void help(QWidget* owner) = 0;
};

}  // namespace varnetto
