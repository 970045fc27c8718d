#pragma once

#include "editor/EditorRequest.h"
#include "manager/ManagerRequests.h"
#include "viewer/ViewerRequest.h"

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace varnetto {

// The schemes a batch may run together: every name, and those checked at
// the opening.
struct SchemeChoiceRequest {
    std::vector<std::string> names;
    std::vector<std::string> checked;
};

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
    // The names checked when the user confirmed, in list order; none when
    // cancelled.
    virtual std::optional<std::vector<std::string>> schemeChoice(
        QWidget* owner, const SchemeChoiceRequest& request) = 0;
    virtual void about(QWidget* owner) = 0;
    virtual void help(QWidget* owner) = 0;
};

}  // namespace varnetto
