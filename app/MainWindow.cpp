#include "app/MainWindow.h"

#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/ImageCommands.h"
#include "app/SchemePanel.h"
#include "app/Session.h"
#include "browser/FolderTree.h"
#include "browser/ImageListView.h"
#include "common/Version.h"
#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"
#include "uikit/StatusBarParts.h"
#include "uikit/UserDialogs.h"

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
      art_(artwork::thumbnailArt()),
      dialogs_(dialogs),
      secondary_(secondary),
      session_(std::make_unique<Session>(std::move(appFolder), art_, this)) {
    session_->setObjectName("session");
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
    status_->setText(StatusPart::Ready, QString::fromUtf8("就绪"));

    createImageList();

    treeArea_ = new QWidget(client_);
    treeArea_->setObjectName("folderTreeArea");
    treeArea_->setToolTip(QString::fromUtf8("图像文件浏览"));

    previewBox_ = new QLabel(client_);
    previewBox_->setObjectName("previewBox");
    previewBox_->setFrameShape(QFrame::Box);
    previewBox_->setAlignment(Qt::AlignCenter);

    followSession();
    commandLooks_ = new DiskLooks(DiskLooks::Cursor::Wait, this);
    commandLooks_->setObjectName("commandLooks");
    images_ = std::make_unique<ImageCommands>(
        ImageCommands::Parts{this, dialogs_, secondary_, *session_, *commandLooks_}, art_);
    images_->setObjectName("imageCommands");
    connect(view_, &ImageListView::visibleRowsChanged, images_.get(),
            &ImageCommands::readVisibleRowsFirst);
    panel_ = std::make_unique<SchemePanel>(SchemePanel::Parts{this, client_, dialogs_, secondary_,
                                                              *session_, *commandLooks_,
                                                              [this](int id) { runCommand(id); }});
    panel_->setObjectName("schemePanel");
    // Wide enough that the scheme choice shows whole in the right-hand 30 %.
    resize(std::max(780, static_cast<int>(std::ceil((panel_->width() + 7) / 0.3))), 520);

    commands_ = std::make_unique<CommandTable>(commandRows(), this, view_);
    commands_->fillMenuBar(menuBar());
    commands_->fillToolBar(toolBar_);
    listMenu_ = new QMenu(this);
    listMenu_->setObjectName("listContextMenu");
    commands_->fillMenu(listMenu_, CommandMenu::ListContext);
    createFolderTree();

    session_->refreshLockCount();
    nameControlsForAssistiveTools(this);
    applyLayout();
    panel_->reloadSchemes();
}

MainWindow::~MainWindow() {
    // Workers report into the session and the widgets: they stop first.
    panel_.reset();
    images_.reset();
    session_.reset();
}

void MainWindow::openPaths(const std::vector<std::string>& paths) {
    images_->openPaths(paths);
}

void MainWindow::createImageList() {
    view_ = new ImageListView(client_);
    view_->setObjectName("imageList");
    view_->setAccessibleName(QString::fromUtf8("图像列表"));
    view_->setModel(&session_->rows());
    view_->setSelectionModel(&session_->selection());
    connect(view_, &ImageListView::spacePressed, this, [this] { images_->toggleSelectedRow(); });
    connect(view_, &ImageListView::rowDoubleClicked, this, [this](int row) {
        if (session_->rows().isRead(row) && session_->selection().isRowSelected(row, {})) {
            runCommand(kFullScreen);
        }
    });
    connect(view_, &ImageListView::enterPressed, this, [this] {
        if (session_->rows().isRead(session_->firstSelectedRow())) runCommand(kFullScreen);
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
    tree_ = new FolderTree(treeArea_);
    tree_->setObjectName("folderTree");
    tree_->setToolTip(QString::fromUtf8("图像文件浏览"));
    tree_->setAccessibleName(QString::fromUtf8("图像文件浏览"));
    tree_->setGeometry(treeArea_->rect());
    tree_->show();
    treeMenu_ = new QMenu(this);
    treeMenu_->setObjectName("folderTreeContextMenu");
    commands_->fillMenu(treeMenu_, CommandMenu::TreeContext);
    connect(tree_, &FolderTree::selectedPathChanged, session_.get(), &Session::showTreeSelection);
    // A double click adds a file as its menu item does.
    connect(tree_, &FolderTree::itemDoubleClicked, this,
            [this](const std::string&) { runCommand(kTreeAddFile); });
    connect(tree_, &FolderTree::contextMenuWanted, this, [this](const std::string&, QPoint at) {
        commands_->refreshEnabled(CommandMenu::TreeContext);
        treeMenu_->popup(at);
    });
    tree_->populate();
}

// The tree knows what it listed: a file that went since is still one, and
// the command that opens it says it is gone.
std::string MainWindow::treeFile() const {
    return tree_->currentKind() == TreeItemKind::File ? tree_->currentPath() : std::string();
}

std::string MainWindow::treeFolder() const {
    const TreeItemKind kind = tree_->currentKind();
    const bool folder = kind == TreeItemKind::Drive || kind == TreeItemKind::Folder;
    return folder ? tree_->currentPath() : std::string();
}

bool MainWindow::runCommand(int id) {
    return commands_->run(id);
}

void MainWindow::followSession() {
    Session* session = session_.get();
    connect(session, &Session::lockedCountChanged, status_, [this](int count) {
        status_->setText(StatusPart::LockCount, QString::fromUtf8("%1 个图像被锁定").arg(count));
    });
    connect(session, &Session::shownFactsChanged, status_, [this](const ShownFacts& facts) {
        if (facts.locked)
            status_->setText(StatusPart::LockState,
                             *facts.locked ? QString::fromUtf8("图像被锁定") : QString());
        status_->setText(StatusPart::Path, facts.path);
        status_->setText(StatusPart::Dimensions, facts.dimensions);
        status_->setText(StatusPart::FileSize, facts.size);
        status_->setText(StatusPart::FileTime, facts.time);
    });
    connect(session, &Session::previewPathChanged, previewBox_, [this](const QString& path) {
        if (path.isEmpty()) previewBox_->clear();
    });
    connect(session, &Session::previewReady, previewBox_,
            [this](const QImage& picture) { previewBox_->setPixmap(QPixmap::fromImage(picture)); });
    connect(session, &Session::previewMissing, this, [this](const QString& path) {
        dialogs_.message(this, QString::fromUtf8("图像 %1 不存在。").arg(path), MessageKind::Stop);
    });
}

void MainWindow::setListViewMode(ListViewMode mode) {
    session_->rows().setViewMode(mode);
    view_->applyViewMode(mode);
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
    session_->setPreviewSize(previewBox_->contentsRect().size());
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
