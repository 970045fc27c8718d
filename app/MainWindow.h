#pragma once

#include "app/BatchDialog.h"
#include "app/CommandIds.h"
#include "app/SecondaryDialogs.h"
#include "app/UiReporter.h"
#include "app/UserDialogs.h"
#include "browser/ImageListModel.h"
#include "schemes/SchemeStore.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;

namespace varnetto {

class ImageListView;
class PreviewLoader;
class RowLoader;
class StatusBarParts;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(std::string appFolder, UserDialogs& dialogs, SecondaryDialogs& secondary,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Routes a command id as the menu, toolbar, buttons and shortcuts do.
    // Returns false for an id nobody handles.
    bool runCommand(int id);

    // Scheme panel services.
    void reloadSchemes();
    void fillSchemeChoice(const SchemeStore& store);
    Scheme* currentScheme();
    std::string currentOutputFolder();
    std::string previewImagePath() const;
    int lockedImageCount() const;
    void updateCurrentImageFacts();

    // Image list operations.
    void loadFolder(const std::string& folder);
    void addSingleFile(const std::string& folder, const std::string& fileName);
    void addAndLockFile(const std::string& path);
    void startFolderBatch(const std::string& folder);
    // The folder tree goes into the tree rectangle; its selection and its
    // context-menu commands for files come back through these.
    void setFolderTree(QWidget* tree);
    void treeSelectionChanged(const std::string& path);
    void treeFileFullScreen(const std::string& path);
    void treeFileSingleImage(const std::string& path);

    SchemeStore& mainStore() { return *store_; }
    const std::string& appFolder() const { return appFolder_; }
    ImageListModel& imageList() { return *model_; }
    ImageListView* imageListView() const { return view_; }
    RowLoader& rowLoader() { return *rowLoader_; }
    StatusBarParts* statusParts() const { return status_; }
    QComboBox* schemeChoice() const { return schemeChoice_; }
    QToolBar* toolBar() const { return toolBar_; }
    QMenu* listContextMenu() const { return listMenu_; }
    QLabel* previewBox() const { return previewBox_; }
    QWidget* folderTreeArea() const { return treeArea_; }
    BatchDialog& batchDialog() { return *batchDialog_; }
    QPushButton* schemeButton(int id) const;
    int currentRow() const { return currentRow_; }
    const QString& previewPath() const { return previewPath_; }
    int batchSource() const { return batchSource_; }
    bool batchActive() const { return batchActive_; }
    // The client area's children are placed by hand on every resize.
    void applyLayout();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Built in MainWindowUi.cpp.
    void createMenu();
    void createToolBar();
    void createStatusBar();
    void createListContextMenu();
    void createSchemePanel();
    void createShortcuts();
    void registerCommands();

    // Image list commands, ImageCommands.cpp.
    void chooseAndLoadFolder();
    void chooseAndAddFile();
    void selectAll();
    void invertSelection();
    void deleteSelected();
    void deleteAll();
    void lockSelected(LockState state);
    void lockAll(LockState state);
    void invertLock();
    void toggleSelectedRow();
    void setListViewMode(ListViewMode mode);
    void fullScreenFromSelection();
    void selectionChanged();
    void requestPreview(int row);
    void refreshLockCounter();
    void rowRead(quint64 id, const RowFacts& facts);
    void rowsRemoved(int first, int last);

    // Scheme commands, SchemeCommands.cpp.
    void editCurrentScheme();
    void openSchemeManager();
    void quickView();
    void effectPreview();
    void startLockedBatch();
    void singleImageProcessing();
    void showBatchDialog(const QString& schemeName, int count, BatchDialog::JobSource source);

    std::string appFolder_;
    ThumbnailArt art_;
    UserDialogs& dialogs_;
    SecondaryDialogs& secondary_;
    UiReporter reporter_;
    std::unique_ptr<SchemeStore> store_;
    QHash<int, std::function<void()>> commands_;

    QWidget* client_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    StatusBarParts* status_ = nullptr;
    ImageListModel* model_ = nullptr;
    ImageListView* view_ = nullptr;
    QWidget* treeArea_ = nullptr;
    QLabel* previewBox_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QLabel* schemeLabel_ = nullptr;
    QComboBox* schemeChoice_ = nullptr;
    QHash<int, QPushButton*> schemeButtons_;
    std::unique_ptr<RowLoader> rowLoader_;
    std::unique_ptr<PreviewLoader> previewLoader_;
    std::unique_ptr<BatchDialog> batchDialog_;

    int currentRow_ = -1;
    bool deleting_ = false;  // no previews while rows go
    std::string currentFolder_;
    QString previewPath_;
    int batchSource_ = 0;
    std::string batchFolder_;
    bool batchActive_ = false;
    int viewerStartRow_ = -1;
    int lockedCursor_ = -1;
};

}  // namespace varnetto
