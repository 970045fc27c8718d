#include "app/CommandTable.h"

#include "uikit/Artwork.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QWidget>

#include <algorithm>
#include <numeric>

namespace varnetto {

namespace {

QIcon toolbarIcon(int image) {
    QIcon icon;
    // Drawn for ordinary and high-density screens alike.
    for (const qreal density : {1.0, 2.0}) {
        icon.addPixmap(QPixmap::fromImage(artwork::toolbarImage(image, false, density)),
                       QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(artwork::toolbarImage(image, true, density)),
                       QIcon::Active);
    }
    return icon;
}

void addSeparator(QWidget* to, Separator kind) {
    if (kind == Separator::None) return;
    auto* separator = new QAction(to);
    separator->setSeparator(true);
    separator->setVisible(kind == Separator::Shown);
    to->addAction(separator);
}

constexpr struct {
    CommandMenu menu;
    const char* title;
} kMenuBar[] = {
    {CommandMenu::Image, "图像"},
    {CommandMenu::Scheme, "方案"},
    {CommandMenu::Process, "处理"},
    {CommandMenu::Help, "帮助"},
};

}  // namespace

CommandTable::CommandTable(std::vector<CommandRow> rows, QWidget* window, QWidget* list)
    : rows_(std::move(rows)) {
    for (const CommandRow& row : rows_) {
        auto* action = new QAction(window);
        action->setText(QString::fromUtf8(row.menuText ? row.menuText : row.toolTip));
        if (row.toolTip) action->setToolTip(QString::fromUtf8(row.toolTip));
        if (row.toolbarImage >= 0) action->setIcon(toolbarIcon(row.toolbarImage));
        action->setIconVisibleInMenu(false);
        action->setData(row.id);
        action->setVisible(row.toolbarShown);
        if (!row.shortcut.isEmpty()) {
            action->setShortcut(row.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        QObject::connect(action, &QAction::triggered, window, row.handler);
        window->addAction(action);
        if (!row.listKeys.empty()) {
            auto* keys = new QAction(list);
            keys->setShortcuts(QList<QKeySequence>(row.listKeys.begin(), row.listKeys.end()));
            keys->setShortcutContext(Qt::WidgetShortcut);
            QObject::connect(keys, &QAction::triggered, window, row.handler);
            list->addAction(keys);
        }
        actions_.push_back(action);
        handlers_.insert(row.id, row.handler);
        for (int alias : row.aliases) handlers_.insert(alias, row.handler);
    }
}

bool CommandTable::run(int id) const {
    const auto it = handlers_.constFind(id);
    if (it == handlers_.constEnd()) return false;
    it.value()();
    return true;
}

void CommandTable::fillMenuBar(QMenuBar* bar) const {
    for (const auto& entry : kMenuBar) {
        fillMenu(bar->addMenu(QString::fromUtf8(entry.title)), entry.menu);
    }
}

void CommandTable::fillMenu(QMenu* menu, CommandMenu which) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].menu != which) continue;
        addSeparator(menu, rows_[i].separatorBeforeMenuItem);
        menu->addAction(actions_[i]);
    }
}

void CommandTable::refreshEnabled(CommandMenu which) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].menu == which && rows_[i].enabledWhen) {
            actions_[i]->setEnabled(rows_[i].enabledWhen());
        }
    }
}

void CommandTable::fillToolBar(QToolBar* toolBar) const {
    std::vector<size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::erase_if(order, [this](size_t i) { return rows_[i].toolbarSlot == 0; });
    std::sort(order.begin(), order.end(),
              [this](size_t a, size_t b) { return rows_[a].toolbarSlot < rows_[b].toolbarSlot; });
    for (size_t i : order) {
        addSeparator(toolBar, rows_[i].separatorBeforeButton);
        toolBar->addAction(actions_[i]);
    }
}

}  // namespace varnetto
