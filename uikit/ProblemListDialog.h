#pragma once

#include "uikit/ProblemEntry.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace varnetto {

class Desktop;
class UserDialogs;

// A resizable list of pictures and what went wrong with each, under a
// summary, with the current line shown whole below it: the list can be
// copied to the clipboard, and the folder of the chosen picture opened in
// the desktop's file manager. Failures and warnings
// are told apart by the icon and the tool tip of the file.
class ProblemListDialog : public QDialog {
    Q_OBJECT
  public:
    ProblemListDialog(const QString& summary, std::vector<ProblemEntry> entries, Desktop& desktop,
                      UserDialogs& dialogs, QWidget* parent = nullptr);

  private:
    void copyList();
    void openCurrentFolder();
    void currentChanged();
    // The folder of the current line's file; "" when it names no folder.
    QString currentFolder() const;

    std::vector<ProblemEntry> entries_;
    Desktop& desktop_;
    UserDialogs& dialogs_;
    QTreeWidget* table_ = nullptr;
    QLabel* detail_ = nullptr;
    QPushButton* openFolder_ = nullptr;
};

}  // namespace varnetto
