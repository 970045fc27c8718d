#pragma once

#include "app/SecondaryDialogs.h"
#include "common/AppFolder.h"
#include "viewer/LinkOpener.h"

#include <functional>
#include <utility>

namespace varnetto {

class UserDialogs;

// Opens the real windows for the main window's commands, and hands the
// editor and the manager the ways to open the windows they open in turn.
class DialogRouter final : public SecondaryDialogs {
  public:
    // folders: the ones the main window works with; About names their store.
    explicit DialogRouter(UserDialogs& dialogs, AppFolders folders = currentAppFolders())
        : dialogs_(dialogs), folders_(std::move(folders)) {}

    int schemeEditor(QWidget* owner, const EditorRequest& request) override;
    bool schemeManager(QWidget* owner, const ManagerRequest& request) override;
    void schemeViewer(QWidget* owner, const SchemeViewerRequest& request) override;
    int fullScreenViewer(QWidget* owner, const ViewerRequest& request) override;
    std::optional<std::vector<std::string>> schemeChoice(
        QWidget* owner, const SchemeChoiceRequest& request) override;
    void about(QWidget* owner) override;
    void help(QWidget* owner) override;

    // What the editor, manager and tree requests carry as their openViewer.
    std::function<int(QWidget*, const ViewerRequest&)> viewerOpener();

  private:
    UserDialogs& dialogs_;
    const AppFolders folders_;
    DesktopLinkOpener links_;
};

}  // namespace varnetto
