#pragma once

#include "app/BatchDialog.h"
#include "app/DiskLooks.h"
#include "uikit/UiReporter.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace varnetto {

class SecondaryDialogs;
class Session;
class UserDialogs;

// The scheme choice with its buttons, and the quick actions that run the
// current scheme of the session's store: editing it, managing and viewing
// schemes, the effect preview, batch runs and single-image processing. A
// picture or folder they need is looked for in the background, under the wait
// cursor, before their window opens.
class SchemePanel : public QObject {
    Q_OBJECT
  public:
    struct Parts {
        QWidget* window;
        QWidget* client;  // the panel's widgets are its children
        UserDialogs& dialogs;
        SecondaryDialogs& secondary;
        Session& session;
        // Shared with the other commands that open a window: the newest wins.
        DiskLooks& looks;
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
    Scheme* currentScheme();
    std::string currentOutputFolder();

    void editCurrentScheme();
    void openSchemeManager();
    void quickView();
    void effectPreview();
    void startLockedBatch();
    // The dialog opens once the folder's pictures are counted, in the
    // background under the wait cursor; the run takes the pictures counted.
    void startFolderBatch(const std::string& folder);
    // The current row's picture, when a read row is selected; or path (the
    // folder tree's file).
    void singleImageProcessing();
    void singleImageOf(const std::string& path);

  private:
    void withPreviewPicture(const char* missingText, std::function<void(const std::string&)> then);
    void createWidgets();
    void fillSchemeChoice();
    void showBatchDialog(int count, BatchDialog::JobSource source);
    // The editor in its single-image mode on path, or missingMessage ("%1"
    // the path) when there is no such file.
    void openSingleImage(const std::string& path, const char* missingMessage);

    Parts parts_;
    UiReporter reporter_;
    QLabel* label_ = nullptr;
    QComboBox* choice_ = nullptr;
    QHash<int, QPushButton*> buttons_;
    std::unique_ptr<BatchDialog> batchDialog_;
};

}  // namespace varnetto
