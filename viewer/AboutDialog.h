#pragma once

#include <QDialog>

#include <string>

namespace varnetto {

class LinkOpener;
class UserDialogs;

// The program's name, version and notice, with links to the author's e-mail
// address and to the home page, and the scheme store in use (the user's own
// or the bundled one). It changes nothing.
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(LinkOpener& links, UserDialogs& dialogs, const std::string& storePath,
                QWidget* parent = nullptr);
};

}  // namespace varnetto
