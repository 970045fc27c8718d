#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/ImageCommands.h"
#include "app/MainWindow.h"
#include "app/SchemePanel.h"
#include "browser/FolderTree.h"
#include "browser/ImageListView.h"

namespace varnetto {

std::vector<CommandRow> MainWindow::commandRows() {
    using M = CommandMenu;
    using S = Separator;
    ImageCommands* images = images_.get();
    SchemePanel* panel = panel_.get();
    auto row = [](int id, std::vector<int> aliases, M menu, const char* text,
                  std::function<void()> handler) {
        CommandRow r;
        r.id = id;
        r.aliases = std::move(aliases);
        r.menu = menu;
        r.menuText = text;
        r.handler = std::move(handler);
        return r;
    };
    auto button = [](CommandRow r, int slot, int image, const char* tip, S before = S::None,
                     bool shown = true) {
        r.toolbarSlot = slot;
        r.toolbarImage = image;
        r.toolTip = tip;
        r.separatorBeforeButton = before;
        r.toolbarShown = shown;
        return r;
    };
    auto keys = [](CommandRow r, QKeySequence shortcut) {
        r.shortcut = shortcut;
        return r;
    };
    auto listKeys = [](CommandRow r, std::vector<QKeySequence> keys) {
        r.listKeys = std::move(keys);
        return r;
    };
    auto after = [](S separator, CommandRow r) {
        r.separatorBeforeMenuItem = separator;
        return r;
    };
    const auto view = [this](ListViewMode mode) { return [this, mode] { setListViewMode(mode); }; };
    auto when = [](CommandRow r, std::function<bool()> enabled) {
        r.enabledWhen = std::move(enabled);
        return r;
    };
    const auto onFolder = [this] { return !treeFolder().empty(); };
    const auto onFile = [this] { return !treeFile().empty(); };
    return {
        // The image menu, in its order; toolbar slots give the buttons' order.
        button(keys(row(kToolbarLoadFolder, {kLoadFolder}, M::Image, "加载目录        \tCtrl + F",
                        [images] { images->chooseAndLoadFolder(); }),
                    Qt::CTRL | Qt::Key_F),
               1, 0, "从目录中加载图像"),
        button(keys(row(kToolbarAddFile, {kAddFile}, M::Image, "加载文件\tCtrl + O",
                        [images] { images->chooseAndAddFile(); }),
                    Qt::CTRL | Qt::Key_O),
               2, 1, "加载一个图像文件"),
        button(keys(row(kToolbarSelectAll, {kSelectAll}, M::Image, "选择所有\tCtrl + A",
                        [images] { images->selectAll(); }),
                    Qt::CTRL | Qt::Key_A),
               3, 2, "选中所有的图像", S::Shown),
        keys(row(kInvertSelection, {}, M::Image, "反向选中\tCtrl + S",
                 [this, images] {
                     view_->setFocus();
                     images->invertSelection();
                 }),
             Qt::CTRL | Qt::Key_S),
        button(listKeys(keys(row(kToolbarDelete, {kDeleteSelected}, M::Image, "删除选中\tD / Del",
                                 [images] { images->deleteSelected(); }),
                             Qt::META | Qt::Key_Delete),
                        {Qt::Key_Delete, Qt::Key_D}),
               4, 3, "删除选中的图像", S::Shown),
        keys(row(kDeleteAll, {}, M::Image, "删除所有\tCtrl + D", [images] { images->deleteAll(); }),
             Qt::CTRL | Qt::Key_D),
        button(row(kToolbarLock, {kLockSelected}, M::Image, "锁定选中\tSpace",
                   [images] { images->lockSelected(kLocked); }),
               5, 4, "锁定选中的图像", S::Shown),
        keys(row(kLockAll, {}, M::Image, "锁定所有\tCtrl + Q",
                 [images] { images->lockAll(kLocked); }),
             Qt::CTRL | Qt::Key_Q),
        button(keys(row(kToolbarInvertLock, {kInvertLock}, M::Image, "反向锁定\tCtrl + W",
                        [images] { images->invertLock(); }),
                    Qt::CTRL | Qt::Key_W),
               7, 6, "反向锁定图像"),
        button(keys(row(kToolbarUnlock, {kUnlockSelected}, M::Image, "解锁选中\tCtrl + K",
                        [images] { images->lockSelected(kUnlocked); }),
                    Qt::CTRL | Qt::Key_K),
               6, 5, "解锁选中的图像"),
        keys(row(kUnlockAll, {}, M::Image, "解锁所有\tCtrl + J",
                 [images] { images->lockAll(kUnlocked); }),
             Qt::CTRL | Qt::Key_J),
        keys(row(kExit, {}, M::Image, "退出系统\t Alt + F4", [this] { close(); }),
             Qt::ALT | Qt::Key_F4),

        row(kSchemeManager, {kSchemeManagerButton}, M::Scheme, "处理方案管理",
            [panel] { panel->openSchemeManager(); }),
        row(kEditScheme, {kEditSchemeButton}, M::Scheme, "编辑当前方案",
            [panel] { panel->editCurrentScheme(); }),

        keys(row(kSingleImage, {}, M::Process, "单张图像处理        \tCtrl + T",
                 [panel] { panel->singleImageProcessing(); }),
             Qt::CTRL | Qt::Key_T),
        keys(row(kEffectPreview, {kEffectPreviewButton}, M::Process, "处理效果预览\tCtrl + E",
                 [panel] { panel->effectPreview(); }),
             Qt::CTRL | Qt::Key_E),
        keys(row(kBatchRun, {kBatchRunButton}, M::Process, "执行批量处理\tCtrl + R",
                 [panel] { panel->startLockedBatch(); }),
             Qt::CTRL | Qt::Key_R),

        row(kHelp, {}, M::Help, "帮助提示", [this] { secondary_.help(this); }),
        row(kAbout, {}, M::Help, "关于 Varnetto", [this] { secondary_.about(this); }),

        // On the toolbar and the keyboard only; the view buttons stay hidden.
        button(keys(row(kFullScreen, {}, M::None, nullptr,
                        [images] { images->fullScreenFromSelection(); }),
                    Qt::CTRL | Qt::Key_Z),
               8, 7, "全屏浏览图像", S::Shown),
        button(row(kViewLargeIcons, {kViewLargeIconsAlt}, M::None, nullptr,
                   view(ListViewMode::LargeIcons)),
               9, 8, "列表方式: 大图标", S::Hidden, false),
        button(row(kViewSmallIcons, {kViewSmallIconsAlt}, M::None, nullptr,
                   view(ListViewMode::SmallIcons)),
               10, 9, "列表方式: 小图标", S::None, false),
        button(row(kViewList, {kViewListAlt}, M::None, nullptr, view(ListViewMode::List)), 11, 10,
               "列表方式: 列表", S::None, false),
        button(row(kViewDetails, {kViewDetailsAlt}, M::None, nullptr, view(ListViewMode::Details)),
               12, 11, "列表方式: 详细列表", S::None, false),
        button(row(kToolbarHelp, {}, M::None, nullptr, [this] { secondary_.help(this); }), 13, 12,
               "帮助", S::Shown),

        // The image list's context menu.
        row(kListLock, {}, M::ListContext, "锁定图像", [images] { images->lockSelected(kLocked); }),
        row(kListUnlock, {}, M::ListContext, "解锁图像",
            [images] { images->lockSelected(kUnlocked); }),
        after(S::Shown, row(kListFullScreen, {}, M::ListContext, "全屏预览",
                            [images] { images->fullScreenFromSelection(); })),
        after(S::Shown, row(kListSingleImage, {}, M::ListContext, "单张图像处理",
                            [panel] { panel->singleImageProcessing(); })),

        // The folder tree's context menu.
        when(row(kTreeLoadFolder, {}, M::TreeContext, "加载目录图像",
                 [this, images] {
                     if (const std::string folder = treeFolder(); !folder.empty())
                         images->loadFolder(folder);
                 }),
             onFolder),
        when(row(kTreeBatchFolder, {}, M::TreeContext, "批量处理目录图像",
                 [this, panel] {
                     if (const std::string folder = treeFolder(); !folder.empty())
                         panel->startFolderBatch(folder);
                 }),
             onFolder),
        after(S::Shown, when(row(kTreeAddFile, {}, M::TreeContext, "加载图像文件",
                                 [this, images] {
                                     const std::string file = treeFile();
                                     const auto slash = file.rfind('/');
                                     if (slash == std::string::npos) return;
                                     images->addSingleFile(file.substr(0, slash),
                                                           file.substr(slash + 1));
                                 }),
                             onFile)),
        when(row(kTreeAddAndLockFile, {}, M::TreeContext, "加载并锁定图像文件",
                 [this, images] {
                     if (const std::string file = treeFile(); !file.empty())
                         images->addAndLockFile(file);
                 }),
             onFile),
        after(S::Shown, when(row(kTreeFullScreen, {}, M::TreeContext, "全屏预览图像",
                                 [this, images] {
                                     if (const std::string file = treeFile(); !file.empty())
                                         images->fullScreenPicture(file);
                                 }),
                             onFile)),
        after(S::Shown, when(row(kTreeSingleImage, {}, M::TreeContext, "单张图像处理",
                                 [this, panel] {
                                     if (const std::string file = treeFile(); !file.empty())
                                         panel->singleImageOf(file);
                                 }),
                             onFile)),
        after(S::Shown,
              row(kTreeRefresh, {}, M::TreeContext, "刷新", [this] { tree_->populate(); })),

        // The scheme panel's own buttons and choice.
        row(kQuickView, {}, M::None, nullptr, [panel] { panel->quickView(); }),
        row(kSchemeChoice, {}, M::None, nullptr, [] {}),
    };
}

}  // namespace varnetto
