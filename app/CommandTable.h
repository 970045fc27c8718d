#pragma once

#include <QHash>
#include <QKeySequence>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace varnetto {

enum class CommandMenu { None, Image, Scheme, Process, Help, ListContext, TreeContext };
enum class Separator { None, Shown, Hidden };

// One command of the main window. Its menu item, toolbar button and shortcut
// share one action, made from this row.
struct CommandRow {
    int id = 0;                // the action's data: its toolbar id, else its menu id
    std::vector<int> aliases;  // further ids routed to the same handler
    CommandMenu menu = CommandMenu::None;
    const char* menuText = nullptr;
    Separator separatorBeforeMenuItem = Separator::None;
    int toolbarSlot = 0;  // position on the toolbar from 1; 0: not on it
    int toolbarImage = -1;
    bool toolbarShown = true;
    Separator separatorBeforeButton = Separator::None;
    const char* toolTip = nullptr;
    QKeySequence shortcut;               // anywhere in the window
    std::vector<QKeySequence> listKeys;  // only while the image list has the focus
    std::function<void()> handler;
    // Asked each time its context menu opens; none: always enabled.
    std::function<bool()> enabledWhen;
};

class CommandTable {
  public:
    // The actions belong to window, whose shortcuts they become; the list
    // keys become shortcuts of list alone, so that typing elsewhere in the
    // window never runs them.
    CommandTable(std::vector<CommandRow> rows, QWidget* window, QWidget* list);

    // Runs the handler of id as its menu item, button or shortcut would;
    // false for an id nobody handles.
    bool run(int id) const;

    void fillMenuBar(QMenuBar* bar) const;
    void fillMenu(QMenu* menu, CommandMenu which) const;
    void fillToolBar(QToolBar* toolBar) const;
    // Enables or grays the items of a context menu before it is shown.
    void refreshEnabled(CommandMenu which) const;

  private:
    std::vector<CommandRow> rows_;
    std::vector<QAction*> actions_;  // one per row, owned by the window
    QHash<int, std::function<void()>> handlers_;
};

}  // namespace varnetto
