#pragma once

#include "app/ImageCommands.h"
#include "app/SchemePanel.h"
#include "app/SecondaryDialogs.h"
#include "browser/ImageListModel.h"
#include "uikit/ThumbnailArt.h"
#include "uikit/UserDialogs.h"

#include <QMainWindow>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QToolBar;

namespace varnetto {

class CommandTable;
class FolderTree;
class ImageListView;
class RowLoader;
class StatusBarParts;
struct CommandRow;

// The main window: it composes the image list, the folder tree area, the
// scheme panel, the preview box, the toolbar and the status bar, lays them
// out, and routes every command through one table.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(AppFolders appFolder, UserDialogs& dialogs, SecondaryDialogs& secondary,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Routes a command id as the menu, toolbar, buttons and shortcuts do.
    // Returns false for an id nobody handles.
    bool runCommand(int id);

    // Scheme panel services.
    void reloadSchemes() { panel_->reloadSchemes(); }
    Scheme* currentScheme() { return panel_->currentScheme(); }
    std::string currentOutputFolder() { return panel_->currentOutputFolder(); }
    std::string previewImagePath() const { return images_->previewImagePath(); }
    int lockedImageCount() const { return model_->lockedCount(); }
    void updateCurrentImageFacts() { images_->updateCurrentImageFacts(); }

    // Image list operations.
    void loadFolder(const std::string& folder) { images_->loadFolder(folder); }
    void addSingleFile(const std::string& folder, const std::string& fileName) {
        images_->addSingleFile(folder, fileName);
    }
    void addAndLockFile(const std::string& path) { images_->addAndLockFile(path); }
    // Files and folders named on the command line or dropped on the list.
    void openPaths(const std::vector<std::string>& paths) { images_->openPaths(paths); }
    void startFolderBatch(const std::string& folder) { panel_->startFolderBatch(folder); }
    // The folder tree goes into the tree area; its selection and its
    // context-menu commands for files come back through these.
    void setFolderTree(QWidget* tree);
    void treeSelectionChanged(const std::string& path) { images_->showTreeSelection(path); }
    void treeFileFullScreen(const std::string& path) { images_->fullScreenPicture(path); }
    void treeFileSingleImage(const std::string& path) { panel_->singleImageOf(path); }

    SchemeStore& mainStore() { return panel_->store(); }
    const AppFolders& appFolder() const { return appFolder_; }
    ImageListModel& imageList() { return *model_; }
    RowLoader& rowLoader() { return images_->rowLoader(); }
    BatchDialog& batchDialog() { return panel_->batchDialog(); }
    int currentRow() const { return images_->currentRow(); }
    const QString& previewPath() const { return images_->previewPath(); }
    BatchSource batchSource() const { return panel_->batchSource(); }
    bool batchActive() const { return panel_->batchActive(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The rows of the command table, MainWindowCommands.cpp.
    std::vector<CommandRow> commandRows();
    void createImageList();
    void createFolderTree();
    // The tree's current item when it is an existing file, or when it is
    // anything else (a folder or a drive); "" otherwise.
    std::string treeFile() const;
    std::string treeFolder() const;
    // The client area's children are placed by hand on every resize.
    void applyLayout();

    AppFolders appFolder_;
    ThumbnailArt art_;
    UserDialogs& dialogs_;
    SecondaryDialogs& secondary_;

    QWidget* client_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    StatusBarParts* status_ = nullptr;
    ImageListModel* model_ = nullptr;
    ImageListView* view_ = nullptr;
    QWidget* treeArea_ = nullptr;
    FolderTree* tree_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    QLabel* previewBox_ = nullptr;
    QMenu* listMenu_ = nullptr;
    std::unique_ptr<ImageCommands> images_;
    std::unique_ptr<SchemePanel> panel_;
    std::unique_ptr<CommandTable> commands_;
};

}  // namespace varnetto
