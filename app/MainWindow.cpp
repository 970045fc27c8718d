#include "app/MainWindow.h"

#include "app/Artwork.h"
#include "app/StatusBarParts.h"
#include "browser/ImageListView.h"
#include "browser/PreviewLoader.h"
#include "browser/RowLoader.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>

namespace varnetto {

MainWindow::MainWindow(std::string appFolder, UserDialogs& dialogs, SecondaryDialogs& secondary,
                       QWidget* parent)
    : QMainWindow(parent),
      appFolder_(std::move(appFolder)),
      art_(artwork::thumbnailArt()),
      dialogs_(dialogs),
      secondary_(secondary),
      reporter_(dialogs, this) {
    setWindowTitle(QStringLiteral("  Varnetto v2.9.0"));
    setWindowIcon(artwork::windowIcon());
    resize(780, 520);
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    createMenu();
    createToolBar();
    createStatusBar();

    model_ = new ImageListModel(art_, this);
    connect(model_, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsRemoved(first, last); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { currentRow_ = -1; });
    view_ = new ImageListView(client_);
    view_->setModel(model_);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::selectionChanged);
    connect(view_, &ImageListView::spacePressed, this, &MainWindow::toggleSelectedRow);
    connect(view_, &ImageListView::rowDoubleClicked, this, [this](int row) {
        if (model_->isRead(row) && view_->selectionModel()->isRowSelected(row, {})) {
            runCommand(kFullScreen);
        }
    });
    connect(view_, &ImageListView::enterPressed, this, [this] {
        const int row = view_->firstSelectedRow();
        if (model_->isRead(row)) runCommand(kFullScreen);
    });
    createListContextMenu();
    connect(view_, &ImageListView::contextMenuWanted, this,
            [this](const QPoint& at) { listMenu_->popup(at); });

    treeArea_ = new QWidget(client_);
    treeArea_->setToolTip(QString::fromUtf8("图像文件浏览"));

    previewBox_ = new QLabel(client_);
    previewBox_->setFrameShape(QFrame::Box);
    previewBox_->setAlignment(Qt::AlignCenter);

    createSchemePanel();
    createShortcuts();
    registerCommands();

    rowLoader_ = std::make_unique<RowLoader>(art_);
    connect(rowLoader_.get(), &RowLoader::rowRead, this, &MainWindow::rowRead);
    previewLoader_ = std::make_unique<PreviewLoader>();
    connect(previewLoader_.get(), &PreviewLoader::previewReady, this,
            [this](const QString&, const QImage& image) {
                previewBox_->setPixmap(QPixmap::fromImage(image));
            });
    connect(previewLoader_.get(), &PreviewLoader::previewFailed, this,
            [this] { previewBox_->setPixmap(QPixmap::fromImage(artwork::brokenPicture())); });
    connect(previewLoader_.get(), &PreviewLoader::previewMissing, this,
            [this](const QString& path) {
                dialogs_.message(this, QString::fromUtf8("图像 %1 不存在。").arg(path),
                                 MessageKind::Stop);
            });
    batchDialog_ = std::make_unique<BatchDialog>(dialogs_, appFolder_, this);

    refreshLockCounter();
    applyLayout();
    reloadSchemes();
}

MainWindow::~MainWindow() {
    // Workers report into widgets: stop them before the widgets go.
    batchDialog_.reset();
    rowLoader_.reset();
    previewLoader_.reset();
}

bool MainWindow::runCommand(int id) {
    const auto it = commands_.constFind(id);
    if (it == commands_.constEnd()) return false;
    it.value()();
    return true;
}

void MainWindow::setFolderTree(QWidget* tree) {
    tree->setParent(treeArea_);
    tree->setGeometry(treeArea_->rect());
    tree->show();
}

QPushButton* MainWindow::schemeButton(int id) const {
    return schemeButtons_.value(id, nullptr);
}

void MainWindow::applyLayout() {
    if (!client_) return;
    const int W = client_->width();
    const int H = client_->height();
    const int Ht = toolBar_ ? toolBar_->sizeHint().height() : 0;
    const int Hs = status_ ? status_->height() : 0;
    auto place = [](QWidget* widget, int left, int top, int right, int bottom) {
        if (widget)
            widget->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
    };
    if (toolBar_) place(toolBar_, 0, 0, W, Ht);
    if (status_) place(status_, 0, H - Hs, W, H);
    const int listRight = static_cast<int>(0.7 * W);
    place(view_, 0, Ht + 1, listRight, H - Hs);
    const int R = 5 + listRight;
    place(treeArea_, R, Ht + 90, W - 2, H - Hs - static_cast<int>(0.75 * (W - 2 - R)) - 5);
    if (treeArea_) {
        for (QWidget* tree : treeArea_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            tree->setGeometry(treeArea_->rect());
        }
    }
    place(previewBox_, R, H - Hs - static_cast<int>(0.75 * (W - R)), W, H - Hs);
    if (previewBox_) requestPreview(currentRow_);
    const int th = Ht;
    place(schemeLabel_, R, th + 5, R + 92, th + 17);
    place(schemeChoice_, R + 94, th, R + 254, th + 24);
    place(schemeButton(kEditSchemeButton), R, th + 32, R + 65, th + 55);
    place(schemeButton(kQuickView), R + 70, th + 32, R + 135, th + 55);
    place(schemeButton(kSchemeManagerButton), R + 140, th + 32, R + 205, th + 55);
    place(schemeButton(kEffectPreviewButton), R, th + 60, R + 65, th + 83);
    place(schemeButton(kBatchRunButton), R + 70, th + 60, R + 160, th + 83);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) applyLayout();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Esc and Enter never close or confirm the main window.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    rowLoader_->cancelAll();
    QMainWindow::closeEvent(event);
}

}  // namespace varnetto
