#include "app/MainWindow.h"

#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "browser/FolderTree.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"
#include "common/RegularFile.h"
#include "common/Version.h"
#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"
#include "uikit/StatusBarParts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace varnetto {

MainWindow::MainWindow(AppFolders appFolder, UserDialogs& dialogs, SecondaryDialogs& secondary,
                       QWidget* parent)
    : QMainWindow(parent),
      appFolder_(std::move(appFolder)),
      art_(artwork::thumbnailArt()),
      dialogs_(dialogs),
      secondary_(secondary) {
    setWindowTitle(QStringLiteral("  Varnetto v" VARNETTO_VERSION));
    setWindowIcon(artwork::windowIcon());
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    toolBar_ = new QToolBar(client_);
    toolBar_->setObjectName("toolbar103");
    toolBar_->setIconSize({25, 25});
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setStyleSheet("QToolBar { border: none; }");

    status_ = new StatusBarParts(client_);
    status_->setObjectName("statusbar133");
    status_->setText(0, QString::fromUtf8("就绪"));

    createImageList();

    treeArea_ = new QWidget(client_);
    treeArea_->setObjectName("folderTreeArea");
    treeArea_->setToolTip(QString::fromUtf8("图像文件浏览"));

    previewBox_ = new QLabel(client_);
    previewBox_->setObjectName("previewBox");
    previewBox_->setFrameShape(QFrame::Box);
    previewBox_->setAlignment(Qt::AlignCenter);

    images_ = std::make_unique<ImageCommands>(
        ImageCommands::Parts{this, dialogs_, secondary_, *model_, *view_, *status_, *previewBox_,
                             appFolder_},
        art_);
    panel_ = std::make_unique<SchemePanel>(SchemePanel::Parts{this, client_, dialogs_, secondary_,
                                                              *model_, *view_, *images_, appFolder_,
                                                              [this](int id) { runCommand(id); }});
    // Wide enough that the scheme choice shows whole in the right-hand 30 %.
    resize(std::max(780, static_cast<int>(std::ceil((panel_->width() + 7) / 0.3))), 520);

    commands_ = std::make_unique<CommandTable>(commandRows(), this, view_);
    commands_->fillMenuBar(menuBar());
    commands_->fillToolBar(toolBar_);
    listMenu_ = new QMenu(this);
    listMenu_->setObjectName("listContextMenu");
    commands_->fillMenu(listMenu_, CommandMenu::ListContext);
    createFolderTree();

    images_->refreshLockCounter();
    nameControlsForAssistiveTools(this);
    applyLayout();
    panel_->reloadSchemes();
}

MainWindow::~MainWindow() {
    // Workers report into widgets: stop them before the widgets go.
    panel_.reset();
    images_.reset();
}

void MainWindow::createImageList() {
    model_ = new ImageListModel(art_, this);
    view_ = new ImageListView(client_);
    view_->setObjectName("imageList");
    view_->setAccessibleName(QString::fromUtf8("图像列表"));
    view_->setModel(model_);
    connect(view_, &ImageListView::spacePressed, this, [this] { images_->toggleSelectedRow(); });
    connect(view_, &ImageListView::rowDoubleClicked, this, [this](int row) {
        if (model_->isRead(row) && view_->selectionModel()->isRowSelected(row, {})) {
            runCommand(kFullScreen);
        }
    });
    connect(view_, &ImageListView::enterPressed, this, [this] {
        if (model_->isRead(view_->firstSelectedRow())) runCommand(kFullScreen);
    });
    connect(view_, &ImageListView::contextMenuWanted, this,
            [this](const QPoint& at) { listMenu_->popup(at); });
    connect(view_, &ImageListView::pathsDropped, this, [this](const QStringList& dropped) {
        std::vector<std::string> paths;
        for (const QString& path : dropped) paths.push_back(path.toStdString());
        openPaths(paths);
    });
}

void MainWindow::createFolderTree() {
    tree_ = new FolderTree;
    tree_->setObjectName("folderTree");
    tree_->setToolTip(QString::fromUtf8("图像文件浏览"));
    tree_->setAccessibleName(QString::fromUtf8("图像文件浏览"));
    setFolderTree(tree_);
    treeMenu_ = new QMenu(this);
    treeMenu_->setObjectName("folderTreeContextMenu");
    commands_->fillMenu(treeMenu_, CommandMenu::TreeContext);
    connect(tree_, &FolderTree::selectedPathChanged, this,
            [this](const std::string& path) { treeSelectionChanged(path); });
    // A double click adds a file as its menu item does.
    connect(tree_, &FolderTree::itemDoubleClicked, this,
            [this](const std::string&) { runCommand(kTreeAddFile); });
    connect(tree_, &FolderTree::contextMenuWanted, this, [this](const std::string&, QPoint at) {
        commands_->refreshEnabled(CommandMenu::TreeContext);
        treeMenu_->popup(at);
    });
    tree_->populate();
}

std::string MainWindow::treeFile() const {
    const std::string path = tree_->currentPath();
    return isNonFolder(path) ? path : std::string();
}

std::string MainWindow::treeFolder() const {
    const std::string path = tree_->currentPath();
    return treeFile().empty() ? path : std::string();
}

bool MainWindow::runCommand(int id) {
    return commands_->run(id);
}

void MainWindow::setFolderTree(QWidget* tree) {
    tree->setParent(treeArea_);
    tree->setGeometry(treeArea_->rect());
    tree->show();
}

void MainWindow::applyLayout() {
    if (!client_ || !panel_) return;
    const int W = client_->width();
    const int H = client_->height();
    const int Ht = toolBar_->sizeHint().height();
    const int Hs = status_->height();
    auto place = [](QWidget* widget, int left, int top, int right, int bottom) {
        widget->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
    };
    place(toolBar_, 0, 0, W, Ht);
    place(status_, 0, H - Hs, W, H);
    const int listRight = static_cast<int>(0.7 * W);
    place(view_, 0, Ht + 1, listRight, H - Hs);
    const int R = 5 + listRight;
    place(treeArea_, R, Ht + 90, W - 2, H - Hs - static_cast<int>(0.75 * (W - 2 - R)) - 5);
    for (QWidget* tree : treeArea_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        tree->setGeometry(treeArea_->rect());
    }
    place(previewBox_, R, H - Hs - static_cast<int>(0.75 * (W - R)), W, H - Hs);
    images_->requestPreview();
    panel_->place(R, Ht);
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
    images_->stopLoading();
    QMainWindow::closeEvent(event);
}

}  // namespace varnetto
