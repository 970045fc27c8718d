#pragma once

#include "uikit/BackgroundJobs.h"
#include "uikit/SchemePreviewService.h"
#include "uikit/UserDialogs.h"
#include "viewer/ViewerRequest.h"
#include "viewer/ViewerRows.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QToolBar;

namespace varnetto {

class ViewerCanvas;

// A borderless window over the whole screen showing one picture at a time:
// the rows of the image list (BrowseRows), one picture of a caller
// (ShowBitmap) or every locked row processed with a scheme (LockedPreview).
// Pictures are decoded and processed off the UI thread, the next one in the
// direction of stepping ahead of time. exec() gives 1 after a double click,
// 2 after Esc.
class FullScreenViewer final : public QDialog {
    Q_OBJECT
  public:
    FullScreenViewer(ViewerRequest request, UserDialogs& dialogs, QWidget* owner = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void createToolBar();
    void layOut();
    void start();
    void step(int code);
    // The row a step leads to; the cursor of the mode moves with it.
    int stepRow(int code);
    int peekRow(int code) const;
    bool rowFileExists(int row) const;
    void submitLoad(int row, bool wantedNow);
    void loaded(PreparedPicture prepared);
    void display(PreparedPicture prepared);
    void prefetch();
    void zoomBy(int (*nextStep)(int));
    void fit();
    void autoLevels();
    void setBusy(bool busy);

    const ViewerRequest request_;
    UserDialogs& dialogs_;
    // Locked rows are processed through the preview service.
    SchemePreviewService previews_;
    std::vector<bool> lockedRows_;
    int viewerStartRow_ = -1;
    int lockedCursor_ = -1;
    int lastShownRow_ = -1;
    int lastStep_ = 0;
    int wantedRow_ = -1;   // the row the user waits for, or -1
    int loadingRow_ = -1;  // the row of the newest load, or -1
    // Set once the user waits for the newest load: it skips its overview.
    std::shared_ptr<std::atomic<bool>> loadingWanted_;
    std::optional<PreparedPicture> prefetched_;
    bool busy_ = false;
    QToolBar* toolBar_ = nullptr;
    QLabel* info_ = nullptr;
    QLabel* zoom_ = nullptr;
    ViewerCanvas* canvas_ = nullptr;
    // Last: destroyed first. Its jobs own what they read, so closing leaves
    // a read stuck on a dead mount behind.
    BackgroundJobs loader_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
};

}  // namespace varnetto
