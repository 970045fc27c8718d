#pragma once

#include <QDialog>

namespace varnetto {

class LinkOpener;
class UserDialogs;

// The steps of a batch run in short, with a link to the home page. It
// changes nothing.
class HelpTipsDialog : public QDialog {
    Q_OBJECT
  public:
    HelpTipsDialog(LinkOpener& links, UserDialogs& dialogs, QWidget* parent = nullptr);
};

}  // namespace varnetto
