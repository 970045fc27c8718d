#pragma once

#include <QSettings>
#include <QString>

namespace varnetto {

class MainWindow;
class QtUserDialogs;

// What the program keeps between starts: the main window's place, size and
// maximized state, the chosen scheme, the folders the pickers start in and
// the batch dialog's choices. Nothing else is written there.
class RememberedSettings {
  public:
    // $XDG_CONFIG_HOME/varnetto/varnetto.conf (~/.config when unset).
    static QString defaultFile();

    explicit RememberedSettings(const QString& file = defaultFile());

    // Puts back what was kept; the window is not shown.
    void restore(MainWindow& window, QtUserDialogs& dialogs);
    // Shows the window as it was left; maximized at the first start.
    void show(MainWindow& window);
    void save(MainWindow& window, const QtUserDialogs& dialogs);

  private:
    QSettings settings_;
};

}  // namespace varnetto
