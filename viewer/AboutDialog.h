#pragma once

#include <QDialog>

namespace varnetto {

class LinkOpener;
class UserDialogs;

// The program's name, version and notice, with links to the author's e-mail
// address and to the home page. It changes nothing.
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(LinkOpener& links, UserDialogs& dialogs, QWidget* parent = nullptr);
};

}  // namespace varnetto
