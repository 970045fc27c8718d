#pragma once

#include "imaging/CImageBox.h"
#include "manager/ManagerRequests.h"
#include "schemes/SchemeStore.h"
#include "uikit/LatestRequestWorker.h"
#include "uikit/UiReporter.h"

#include <QDialog>
#include <QImage>
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
    ~SchemeManagerDialog() override;

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
    struct PreviewSource;
    struct Rendered {
        QImage original;  // set by the first render only
        QImage preview;
        QString failure;
        bool sourceFailed = false;
    };

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
    // Shows the picture processed with scheme (or unprocessed) in the
    // preview box once the worker has drawn it.
    void render(std::optional<Scheme> scheme, bool withOriginal = false);
    void showRendered(int serial, const Rendered& rendered);

    UserDialogs& dialogs_;
    ManagerRequest request_;
    UiReporter reporter_;
    SchemeStore workingStore_;
    std::string savedBytes_;  // the store as it was loaded
    CImageBox fullScreenControl_;
    int lastRenderedRow_ = -1;
    int renderSerial_ = 0;
    bool sourceFailureShown_ = false;

    QLabel* originalBox_ = nullptr;
    QLabel* previewBox_ = nullptr;
    QListWidget* list_ = nullptr;
    QCheckBox* livePreview_ = nullptr;

    // Used by the worker's thread only, one job at a time.
    std::shared_ptr<PreviewSource> source_;
    // Last: destroyed first, so no job outlives what it uses.
    LatestRequestWorker worker_;
};

}  // namespace varnetto
