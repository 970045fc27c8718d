#include "app/Artwork.h"
#include "app/CommandIds.h"
#include "app/MainWindow.h"
#include "app/StatusBarParts.h"
#include "browser/ImageListView.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>

namespace varnetto {

namespace {

struct MenuItem {
    int id;
    const char* text;
};

struct ToolbarEntry {
    int command;  // 0: separator
    int image;
    bool shown;
    const char* tip;
};

constexpr ToolbarEntry kToolbar[] = {
    {kToolbarLoadFolder, 0, true, "从目录中加载图像"},
    {kToolbarAddFile, 1, true, "加载一个图像文件"},
    {0, -1, true, nullptr},
    {kToolbarSelectAll, 2, true, "选中所有的图像"},
    {0, -1, true, nullptr},
    {kToolbarDelete, 3, true, "删除选中的图像"},
    {0, -1, true, nullptr},
    {kToolbarLock, 4, true, "锁定选中的图像"},
    {kToolbarUnlock, 5, true, "解锁选中的图像"},
    {kToolbarInvertLock, 6, true, "反向锁定图像"},
    {0, -1, true, nullptr},
    {kFullScreen, 7, true, "全屏浏览图像"},
    {0, -1, false, nullptr},
    {kViewLargeIcons, 8, false, "列表方式: 大图标"},
    {kViewSmallIcons, 9, false, "列表方式: 小图标"},
    {kViewList, 10, false, "列表方式: 列表"},
    {kViewDetails, 11, false, "列表方式: 详细列表"},
    {0, -1, true, nullptr},
    {kToolbarHelp, 12, true, "帮助"},
};

}  // namespace

void MainWindow::createMenu() {
    auto addMenu = [this](const char* title, std::initializer_list<MenuItem> items) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(title));
        for (const MenuItem& item : items) {
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setData(item.id);
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        }
    };
    addMenu("图像", {{kLoadFolder, "加载目录        \tCtrl + F"},
                     {kAddFile, "加载文件\tCtrl + O"},
                     {kSelectAll, "选择所有\tCtrl + A"},
                     {kInvertSelection, "反向选中\tCtrl + S"},
                     {kDeleteSelected, "删除选中\tD / Del"},
                     {kDeleteAll, "删除所有\tCtrl + D"},
                     {kLockSelected, "锁定选中\tSpace"},
                     {kLockAll, "锁定所有\tCtrl + Q"},
                     {kInvertLock, "反向锁定\tCtrl + W"},
                     {kUnlockSelected, "解锁选中\tCtrl + K"},
                     {kUnlockAll, "解锁所有\tCtrl + J"},
                     {kExit, "退出系统\t Alt + F4"}});
    addMenu("方案", {{kSchemeManager, "处理方案管理"}, {kEditScheme, "编辑当前方案"}});
    addMenu("处理", {{kSingleImage, "单张图像处理        \tCtrl + T"},
                     {kEffectPreview, "处理效果预览\tCtrl + E"},
                     {kBatchRun, "执行批量处理\tCtrl + R"}});
    addMenu("帮助", {{kHelp, "帮助提示"}, {kAbout, "关于 Varnetto"}});
}

void MainWindow::createToolBar() {
    toolBar_ = new QToolBar(client_);
    toolBar_->setObjectName("toolbar103");
    toolBar_->setIconSize({25, 25});
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setStyleSheet("QToolBar { border: none; }");
    for (const ToolbarEntry& entry : kToolbar) {
        QAction* action = nullptr;
        if (entry.command == 0) {
            action = toolBar_->addSeparator();
        } else {
            QIcon icon;
            icon.addPixmap(QPixmap::fromImage(artwork::toolbarImage(entry.image, false)),
                           QIcon::Normal);
            icon.addPixmap(QPixmap::fromImage(artwork::toolbarImage(entry.image, true)),
                           QIcon::Active);
            action = toolBar_->addAction(icon, QString::fromUtf8(entry.tip));
            action->setToolTip(QString::fromUtf8(entry.tip));
            action->setData(entry.command);
            const int id = entry.command;
            connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        }
        action->setVisible(entry.shown);
    }
}

void MainWindow::createStatusBar() {
    // The parts are fixed from the width the window gets when maximized.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int width = screen ? screen->availableGeometry().width() : 1024;
    status_ = new StatusBarParts(width, client_);
    status_->setObjectName("statusbar133");
    status_->setText(0, QString::fromUtf8("就绪"));
}

void MainWindow::createListContextMenu() {
    listMenu_ = new QMenu(this);
    auto add = [this](int id, const char* text) {
        QAction* action = listMenu_->addAction(QString::fromUtf8(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    };
    add(kListLock, "锁定图像");
    add(kListUnlock, "解锁图像");
    listMenu_->addSeparator();
    add(kListFullScreen, "全屏预览");
    listMenu_->addSeparator();
    add(kListSingleImage, "单张图像处理");
}

void MainWindow::createSchemePanel() {
    schemeLabel_ = new QLabel(QString::fromUtf8("选择处理方案："), client_);
    schemeChoice_ = new QComboBox(client_);
    schemeChoice_->setEditable(false);
    schemeChoice_->setToolTip(QString::fromUtf8("所有的图像处理方案"));
    const struct {
        int id;
        const char* text;
        const char* tip;
    } buttons[] = {
        {kEditSchemeButton, "编辑方案", "编辑当前选中的图像处理方案"},
        {kQuickView, "快速查看", "快速的查看图像处理方案的详细参数设置"},
        {kSchemeManagerButton, "方案管理", "图像处理方案的管理"},
        {kEffectPreviewButton, "预览效果", "预览当前锁定的图像的处理效果"},
        {kBatchRunButton, "执行批量处理", "开始执行批量处理"},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), client_);
        button->setFlat(true);
        button->setToolTip(QString::fromUtf8(b.tip));
        const int id = b.id;
        connect(button, &QPushButton::clicked, this, [this, id] { runCommand(id); });
        schemeButtons_.insert(b.id, button);
    }
}

void MainWindow::createShortcuts() {
    const struct {
        QKeyCombination keys;
        int command;
    } table[] = {
        {Qt::CTRL | Qt::Key_F, kLoadFolder},
        {Qt::CTRL | Qt::Key_O, kAddFile},
        {Qt::CTRL | Qt::Key_A, kSelectAll},
        {Qt::CTRL | Qt::Key_S, kInvertSelection},
        {Qt::META | Qt::Key_Delete, kDeleteSelected},
        {Qt::CTRL | Qt::Key_D, kDeleteAll},
        {Qt::CTRL | Qt::Key_Q, kLockAll},
        {Qt::CTRL | Qt::Key_W, kInvertLock},
        {Qt::CTRL | Qt::Key_K, kUnlockSelected},
        {Qt::CTRL | Qt::Key_J, kUnlockAll},
        {Qt::ALT | Qt::Key_F4, kExit},
        {Qt::CTRL | Qt::Key_E, kEffectPreview},
        {Qt::CTRL | Qt::Key_R, kBatchRun},
        {Qt::CTRL | Qt::Key_Z, kFullScreen},
        {Qt::CTRL | Qt::Key_T, kSingleImage},
    };
    for (const auto& entry : table) {
        auto* shortcut = new QShortcut(QKeySequence(entry.keys), this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = entry.command;
        connect(shortcut, &QShortcut::activated, this, [this, id] { runCommand(id); });
    }
}

void MainWindow::registerCommands() {
    auto on = [this](std::initializer_list<int> ids, std::function<void()> handler) {
        for (int id : ids) commands_.insert(id, handler);
    };
    on({kLoadFolder, kToolbarLoadFolder}, [this] { chooseAndLoadFolder(); });
    on({kAddFile, kToolbarAddFile}, [this] { chooseAndAddFile(); });
    on({kSelectAll, kToolbarSelectAll}, [this] { selectAll(); });
    on({kInvertSelection}, [this] { invertSelection(); });
    on({kDeleteSelected, kToolbarDelete}, [this] { deleteSelected(); });
    on({kDeleteAll}, [this] { deleteAll(); });
    on({kLockSelected, kToolbarLock, kListLock}, [this] { lockSelected(kLocked); });
    on({kUnlockSelected, kToolbarUnlock, kListUnlock}, [this] { lockSelected(kUnlocked); });
    on({kLockAll}, [this] { lockAll(kLocked); });
    on({kUnlockAll}, [this] { lockAll(kUnlocked); });
    on({kInvertLock, kToolbarInvertLock}, [this] { invertLock(); });
    on({kExit}, [this] { close(); });
    on({kSchemeManager, kSchemeManagerButton}, [this] { openSchemeManager(); });
    on({kEditScheme, kEditSchemeButton}, [this] { editCurrentScheme(); });
    on({kSingleImage, kListSingleImage}, [this] { singleImageProcessing(); });
    on({kEffectPreview, kEffectPreviewButton}, [this] { effectPreview(); });
    on({kBatchRun, kBatchRunButton}, [this] { startLockedBatch(); });
    on({kHelp, kToolbarHelp}, [this] { secondary_.help(this); });
    on({kAbout}, [this] { secondary_.about(this); });
    on({kFullScreen, kListFullScreen}, [this] { fullScreenFromSelection(); });
    on({kViewLargeIcons, kViewLargeIconsAlt},
       [this] { setListViewMode(ListViewMode::LargeIcons); });
    on({kViewSmallIcons, kViewSmallIconsAlt},
       [this] { setListViewMode(ListViewMode::SmallIcons); });
    on({kViewList, kViewListAlt}, [this] { setListViewMode(ListViewMode::List); });
    on({kViewDetails, kViewDetailsAlt}, [this] { setListViewMode(ListViewMode::Details); });
    on({kQuickView}, [this] { quickView(); });
    on({kSchemeChoice}, [] {});
}

}  // namespace varnetto
