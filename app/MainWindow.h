#pragma once

#include "app/SecondaryDialogs.h"
#include "browser/ImageListModel.h"
#include "common/AppFolder.h"
#include "uikit/ThumbnailArt.h"

#include <QMainWindow>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QToolBar;

namespace varnetto {

class CommandTable;
class DiskLooks;
class FolderTree;
class ImageCommands;
class ImageListView;
class SchemePanel;
class Session;
class StatusBarParts;
class UserDialogs;
struct CommandRow;

// The main window: it composes the image list, the folder tree area, the
// scheme panel, the preview box, the toolbar and the status bar, lays them
// out, routes every command through one table, and lets the views follow the
// session's state.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(AppFolders appFolder, UserDialogs& dialogs, SecondaryDialogs& secondary,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Routes a command id as the menu, toolbar, buttons and shortcuts do.
    // Returns false for an id nobody handles.
    bool runCommand(int id);
    // Files and folders named on the command line or dropped on the list.
    void openPaths(const std::vector<std::string>& paths);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The rows of the command table, MainWindowCommands.cpp.
    std::vector<CommandRow> commandRows();
    void createImageList();
    void createFolderTree();
    // The status bar and the preview box show what the session shows.
    void followSession();
    void setListViewMode(ListViewMode mode);
    // The tree's current item when it is a file, or when it is a folder or a
    // drive; "" otherwise.
    std::string treeFile() const;
    std::string treeFolder() const;
    // The client area's children are placed by hand on every resize.
    void applyLayout();

    ThumbnailArt art_;
    UserDialogs& dialogs_;
    SecondaryDialogs& secondary_;

    QWidget* client_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    StatusBarParts* status_ = nullptr;
    ImageListView* view_ = nullptr;
    QWidget* treeArea_ = nullptr;
    FolderTree* tree_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    QLabel* previewBox_ = nullptr;
    QMenu* listMenu_ = nullptr;
    DiskLooks* commandLooks_ = nullptr;
    std::unique_ptr<Session> session_;
    std::unique_ptr<ImageCommands> images_;
    std::unique_ptr<SchemePanel> panel_;
    std::unique_ptr<CommandTable> commands_;
};

}  // namespace varnetto
