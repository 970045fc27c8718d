#pragma once

#include "app/BatchDialog.h"
#include "schemes/SchemeStore.h"
#include "uikit/BackgroundJobs.h"
#include "uikit/UiReporter.h"
#include "uikit/WaitCursor.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace varnetto {

class ImageCommands;
class ImageListModel;
class ImageListView;
class SecondaryDialogs;
class UserDialogs;

// The scheme choice with its buttons, the main scheme store, and the quick
// actions that run the current scheme: editing it, managing and viewing
// schemes, the effect preview, batch runs and single-image processing.
// What the next batch run walks.
enum class BatchSource : int { None = 0, LockedRows = 1, Folder = 2 };

class SchemePanel : public QObject {
    Q_OBJECT
  public:
    struct Parts {
        QWidget* window;
        QWidget* client;  // the panel's widgets are its children
        UserDialogs& dialogs;
        SecondaryDialogs& secondary;
        ImageListModel& model;
        ImageListView& view;
        ImageCommands& images;
        AppFolders appFolder;
        // Routes a button's command id as the window routes it.
        std::function<void(int)> runCommand;
    };

    explicit SchemePanel(Parts parts);
    ~SchemePanel() override;

    // Places the label, the choice and the buttons; right is the list's
    // right edge plus 5, top the toolbar's height.
    void place(int left, int top);
    // From the left of the label to the right of the scheme choice.
    int width() const;

    void reloadSchemes();
    void fillSchemeChoice(const SchemeStore& store);
    Scheme* currentScheme();
    std::string currentOutputFolder();
    SchemeStore& store() { return *store_; }

    void editCurrentScheme();
    void openSchemeManager();
    void quickView();
    void effectPreview();
    void startLockedBatch();
    // The dialog opens once the folder's pictures are counted, in the
    // background under the wait cursor; the run takes the pictures counted.
    void startFolderBatch(const std::string& folder);
    // The selected row's picture, or path when given (the folder tree's file).
    void singleImageProcessing();
    void singleImageOf(const std::string& path);

    BatchDialog& batchDialog() { return *batchDialog_; }
    BatchSource batchSource() const { return batchSource_; }
    bool batchActive() const { return batchActive_; }

  private:
    void createWidgets();
    void showBatchDialog(int count, BatchDialog::JobSource source);
    // The editor in its single-image mode on path, or missingMessage ("%1"
    // the path) when there is no such file.
    void openSingleImage(const std::string& path, const char* missingMessage);

    Parts parts_;
    UiReporter reporter_;
    std::unique_ptr<SchemeStore> store_;
    QLabel* label_ = nullptr;
    QComboBox* choice_ = nullptr;
    QHash<int, QPushButton*> buttons_;
    std::unique_ptr<BatchDialog> batchDialog_;
    BatchSource batchSource_ = BatchSource::None;
    bool batchActive_ = false;
    // A count stuck on a dead mount is left behind by the next one.
    BackgroundJobs folderCounts_;
    std::optional<WaitCursor> countingCursor_;
};

}  // namespace varnetto
