#pragma once

#include "manager/ManagerRequests.h"
#include "schemes/SchemeStore.h"
#include "uikit/BackgroundJobs.h"
#include "uikit/SchemePreviewService.h"
#include "uikit/UiReporter.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace varnetto {

class UserDialogs;

// Adds, deletes and edits schemes on a working copy of the store file and
// shows the preview picture before and after the selected scheme. "保存"
// writes the copy back; exec() returns 1 after a save, 2 otherwise.
class SchemeManagerDialog : public QDialog {
    Q_OBJECT
  public:
    SchemeManagerDialog(UserDialogs& dialogs, ManagerRequest request, QWidget* parent = nullptr);

    // Whether a scheme of the working store bears exactly this name (letter
    // case counts); the editor asks before it creates one.
    bool schemeNameExists(const std::string& name) const;

  public Q_SLOTS:
    // Esc never closes the dialog.
    void reject() override {}

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void createControls();
    void fillList();
    void refillList();
    Scheme* selectedScheme();
    void selectionChanged();
    void addScheme();
    void deleteScheme();
    void editScheme();
    void editSelected();
    void fullScreenPreview();
    void save();
    bool saveStore();
    bool hasUnsavedChanges() const;
    std::string storeBytes() const;
    void tellNoSelection();
    // Shows the picture unprocessed in both boxes once it is drawn.
    void renderOriginal();
    // Shows the picture processed with scheme (or unprocessed) in the
    // preview box once it is drawn.
    void render(std::optional<Scheme> scheme);
    void showRendered(int serial, const ShownPreview& shown, const QString& schemeName);
    void showBroken(const ShownPreview& shown);
    // The wait cursor while the full-screen picture is made.
    void setBusy(bool busy);

    UserDialogs& dialogs_;
    ManagerRequest request_;
    UiReporter reporter_;
    SchemeStore workingStore_;
    std::string savedBytes_;  // the store as it was loaded
    int lastRenderedRow_ = -1;
    int renderSerial_ = 0;

    QLabel* originalBox_ = nullptr;
    QLabel* previewBox_ = nullptr;
    QListWidget* list_ = nullptr;
    QCheckBox* livePreview_ = nullptr;
    QPushButton* fullScreen_ = nullptr;

    SchemePreviewService previews_;
    // After the service they use; each job owns what it reads.
    BackgroundJobs originalJobs_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
    BackgroundJobs previewJobs_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
    BackgroundJobs fullScreenJobs_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
};

}  // namespace varnetto
