#include "viewer/FullScreenViewer.h"

#include "uikit/AccessibleNames.h"
#include "uikit/Utf8Text.h"
#include "viewer/ViewerArt.h"
#include "viewer/ViewerCanvas.h"
#include "viewer/ViewerGeometry.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>
#include <functional>

namespace varnetto {

FullScreenViewer::FullScreenViewer(ViewerRequest request, UserDialogs& dialogs, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      request_(std::move(request)),
      dialogs_(dialogs),
      previews_(dialogs, this, request_.appFolder) {
    setObjectName("fullScreenViewer");
    loader_.setObjectName("viewerPictures");
    // Found among the window's children; destroyed as a member first.
    loader_.setParent(this);
    setWindowTitle("Varnetto");
    setFocusPolicy(Qt::StrongFocus);
    viewerStartRow_ = request_.startRow;
    for (const ViewerRow& row : request_.rows) lockedRows_.push_back(row.locked);

    createToolBar();
    info_ = new QLabel(this);
    info_->setObjectName("infoText913");
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    zoom_ = new QLabel(text(kActualSizeLabel), this);
    zoom_->setObjectName("zoomLabel914");
    canvas_ = new ViewerCanvas(this);
    connect(canvas_, &ViewerCanvas::actualSizeShown, this,
            [this] { zoom_->setText(text(kActualSizeLabel)); });

    // Over the whole screen the owner is on.
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) setGeometry(screen->geometry());
    layOut();
    nameControlsForAssistiveTools(this);
    start();
}

void FullScreenViewer::createToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName("toolbar911");
    toolBar_->setIconSize(QSize(25, 25));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setStyleSheet("QToolBar { border: none; }");
    struct Entry {
        int command;
        int picture;  // -1: a separator
        const char* name;
        std::function<void()> action;
    };
    const Entry entries[] = {
        {901, 0, "第一个图像", [this] { step(kFirst); }},
        {902, 1, "上一个图像", [this] { step(kPrevious); }},
        {903, 2, "下一个图像", [this] { step(kNext); }},
        {904, 3, "最后一个图像", [this] { step(kLast); }},
        {0, -1, nullptr, nullptr},
        {3123, 4, "适合窗口", [this] { fit(); }},
        {0, -1, nullptr, nullptr},
        {908, 5, "拖动图像", nullptr},
        {906, 6, "放大", [this] { zoomBy(zoomedIn); }},
        {907, 7, "缩小", [this] { zoomBy(zoomedOut); }},
        {0, -1, nullptr, nullptr},
        {909, 8, "自动色阶", [this] { autoLevels(); }},
    };
    for (const Entry& entry : entries) {
        if (entry.picture < 0) {
            toolBar_->addSeparator();
            continue;
        }
        // No text: the buttons carry no tool tips.
        QAction* action = toolBar_->addAction(viewerart::toolbarIcon(entry.picture), QString());
        action->setObjectName(QString("viewer%1").arg(entry.command));
        if (entry.action) connect(action, &QAction::triggered, this, entry.action);
        QWidget* button = toolBar_->widgetForAction(action);
        button->setAccessibleName(text(entry.name));
        button->setFocusPolicy(Qt::NoFocus);
    }
    // The last separator and the auto-levels button exist but stay hidden.
    const QList<QAction*> actions = toolBar_->actions();
    actions[actions.size() - 2]->setVisible(false);
    actions.last()->setVisible(false);
    toolBar_->adjustSize();
}

void FullScreenViewer::layOut() {
    toolBar_->setGeometry(QRect(QPoint(0, 0), toolBar_->sizeHint()));
    const int bottom = toolBar_->geometry().bottom() + 1;
    info_->setGeometry(
        QRect(QPoint(toolBar_->geometry().right() + 3, 2), QPoint(width() - 83, bottom - 1)));
    zoom_->setGeometry(QRect(QPoint(width() - 80, 10), QPoint(width() - 1, bottom - 1)));
    // Below the line under the toolbar, to the bottom of the screen.
    canvas_->setGeometry(0, bottom + 2, width(), std::max(0, height() - bottom - 2));
}

void FullScreenViewer::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layOut();
}

void FullScreenViewer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setFocus();
}

void FullScreenViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(Qt::black);
    const int y = toolBar_->geometry().bottom() + 2;
    painter.drawLine(0, y, width(), y);
}

void FullScreenViewer::start() {
    switch (request_.mode) {
        case ViewerMode::BrowseRows:
            step(0);
            break;
        case ViewerMode::LockedPreview:
            step(kFirst);
            break;
        case ViewerMode::ShowBitmap:
            if (!request_.bitmap && request_.picturePath.empty()) return;
            wantedRow_ = loadingRow_ = -1;
            setBusy(true);
            loader_.submit([this, area = canvas_->size(), density = canvas_->devicePixelRatioF(),
                            bitmap = request_.bitmap, path = request_.picturePath](
                               const JobToken& token) -> BackgroundJobs::Completion {
                const std::atomic<bool> wantedNow{true};
                const Preparation preparation{area, wantedNow, token, density};
                PreparedPicture prepared = bitmap ? prepareBitmap(*bitmap, preparation)
                                                  : loadViewerRow(-1, path, preparation);
                return [this, prepared = std::move(prepared)]() mutable {
                    loaded(std::move(prepared));
                };
            });
            break;
    }
}

int FullScreenViewer::stepRow(int code) {
    if (request_.mode == ViewerMode::BrowseRows) {
        viewerStartRow_ = stepViewerRow(viewerStartRow_, int(request_.rows.size()), code);
        return viewerStartRow_;
    }
    lockedCursor_ = stepLockedCursor(lockedCursor_, lockedRows_, code);
    return lockedCursor_;
}

int FullScreenViewer::peekRow(int code) const {
    if (request_.mode == ViewerMode::BrowseRows)
        return stepViewerRow(viewerStartRow_, int(request_.rows.size()), code);
    return stepLockedCursor(lockedCursor_, lockedRows_, code);
}

bool FullScreenViewer::rowFileExists(int row) const {
    std::error_code error;
    const std::string& path = request_.rows[size_t(row)].path;
    return !path.empty() && std::filesystem::exists(path, error);
}

void FullScreenViewer::step(int code) {
    if (request_.mode == ViewerMode::ShowBitmap) return;
    const int row = stepRow(code);
    if (row == lastShownRow_) return;
    lastShownRow_ = row;
    lastStep_ = code;
    wantedRow_ = -1;
    setBusy(false);
    if (row < 0 || row >= int(request_.rows.size())) return;
    if (request_.mode == ViewerMode::BrowseRows && !rowFileExists(row)) {
        // The previous picture stays; the row counts as shown.
        dialogs_.message(
            this,
            text("图像 %1 不存在。").arg(QString::fromStdString(request_.rows[size_t(row)].path)),
            MessageKind::Stop);
        return;
    }
    if (prefetched_ && prefetched_->row == row) {
        PreparedPicture ready = std::move(*prefetched_);
        prefetched_.reset();
        display(std::move(ready));
        prefetch();
        return;
    }
    wantedRow_ = row;
    setBusy(true);
    // A load of that row already under way is waited for, not repeated.
    if (loadingRow_ == row && loadingWanted_) {
        *loadingWanted_ = true;
    } else {
        submitLoad(row, true);
    }
}

void FullScreenViewer::submitLoad(int row, bool wantedNow) {
    loadingRow_ = row;
    loadingWanted_ = std::make_shared<std::atomic<bool>>(wantedNow);
    const QSize area = canvas_->size();
    const double density = canvas_->devicePixelRatioF();
    if (request_.mode == ViewerMode::BrowseRows) {
        loader_.submit([this, row, path = request_.rows[size_t(row)].path, area, density,
                        wanted =
                            loadingWanted_](const JobToken& token) -> BackgroundJobs::Completion {
            PreparedPicture prepared = loadViewerRow(row, path, {area, *wanted, token, density});
            return
                [this, prepared = std::move(prepared)]() mutable { loaded(std::move(prepared)); };
        });
        return;
    }
    const ViewerRow& entry = request_.rows[size_t(row)];
    std::optional<Scheme> scheme;
    if (entry.locked && !entry.path.empty()) scheme = request_.scheme;
    loader_.submit([this, row, entry, scheme, area, density, wanted = loadingWanted_,
                    cache = previews_.cache(), appFolder = request_.appFolder](
                       const JobToken& token) -> BackgroundJobs::Completion {
        PreparedPicture prepared;
        if (scheme)
            prepared = renderLockedRow(*cache, row, entry, *scheme, appFolder,
                                       {area, *wanted, token, density});
        prepared.row = row;
        return [this, prepared = std::move(prepared)]() mutable {
            previews_.reportOnce(prepared.notes);
            loaded(std::move(prepared));
        };
    });
}

void FullScreenViewer::loaded(PreparedPicture prepared) {
    if (prepared.row == loadingRow_) loadingRow_ = -1;
    if (prepared.row == wantedRow_) {
        wantedRow_ = -1;
        setBusy(false);
        display(std::move(prepared));
        prefetch();
    } else if (prepared.picture || !prepared.failure.isEmpty()) {
        prefetched_ = std::move(prepared);
    }
}

void FullScreenViewer::display(PreparedPicture prepared) {
    // Nothing came (a row the pipeline did not render): the previous picture
    // stays.
    if (!prepared.picture && prepared.failure.isEmpty()) return;
    if (request_.mode == ViewerMode::BrowseRows && prepared.row >= 0)
        info_->setText(viewerInfoText(request_.rows[size_t(prepared.row)]));
    zoom_->setText(text(kActualSizeLabel));
    canvas_->showPicture(std::move(prepared));
}

void FullScreenViewer::prefetch() {
    if (request_.mode == ViewerMode::ShowBitmap) return;
    const int row = peekRow(likelyNextStep(lastStep_));
    if (row < 0 || row == lastShownRow_ || row == loadingRow_) return;
    if (prefetched_ && prefetched_->row == row) return;
    if (request_.mode == ViewerMode::BrowseRows && !rowFileExists(row)) return;
    prefetched_.reset();
    submitLoad(row, false);
}

void FullScreenViewer::zoomBy(int (*nextStep)(int)) {
    if (!canvas_->hasPicture()) return;
    const int zoomStep = nextStep(canvas_->view().zoomStep);
    canvas_->setZoomStep(zoomStep);
    zoom_->setText(QString::fromStdString(zoomLabel(zoomStep / 100.0)));
    canvas_->zoomTo(zoomStep / 100.0);
}

void FullScreenViewer::fit() {
    if (!canvas_->hasPicture()) return;
    const ViewState& view = canvas_->view();
    // The zoom step stays: the next zoom in or out goes on from it.
    const double factor = fitFactor(canvas_->area(), view.imageWidth, view.imageHeight);
    zoom_->setText(QString::fromStdString(zoomLabel(factor)));
    canvas_->zoomTo(factor);
}

void FullScreenViewer::autoLevels() {
    const std::shared_ptr<ZoomablePicture> picture = canvas_->picture();
    if (!picture) return;
    const int row = lastShownRow_;
    wantedRow_ = loadingRow_ = row;
    loadingWanted_ = std::make_shared<std::atomic<bool>>(true);
    setBusy(true);
    loader_.submit([this, picture, row, area = canvas_->size(),
                    density = canvas_->devicePixelRatioF()](
                       const JobToken& token) -> BackgroundJobs::Completion {
        PreparedPicture prepared;
        try {
            CImageBox control;
            control.PutBitmap(picture->fullImage());
            control.ImageAction();
            const std::atomic<bool> wantedNow{true};
            prepared = prepareBitmap(control.GetBitmap(), {area, wantedNow, token, density});
        } catch (const std::exception& error) {
            prepared.failure = QString::fromUtf8(error.what());
        }
        prepared.row = row;
        return [this, prepared = std::move(prepared)]() mutable { loaded(std::move(prepared)); };
    });
}

void FullScreenViewer::setBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
    canvas_->setWaiting(busy);
}

void FullScreenViewer::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Home:
            step(kFirst);
            break;
        case Qt::Key_PageUp:
            step(kPrevious);
            break;
        case Qt::Key_PageDown:
            step(kNext);
            break;
        case Qt::Key_End:
            step(kLast);
            break;
        case Qt::Key_Escape:
            done(2);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            break;
        default:
            QDialog::keyPressEvent(event);
            return;
    }
    event->accept();
}

void FullScreenViewer::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (busy_) return;
    step(event->angleDelta().y() <= 0 ? kNext : kPrevious);
}

void FullScreenViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) done(1);
}

}  // namespace varnetto
