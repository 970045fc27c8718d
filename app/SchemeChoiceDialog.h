#pragma once

#include "app/SecondaryDialogs.h"

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace varnetto {

// "更多方案…" of the batch dialog: the schemes as a list of check boxes; a run
// takes those checked. Confirming needs one checked at least.
class SchemeChoiceDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SchemeChoiceDialog(const SchemeChoiceRequest& request, QWidget* parent = nullptr);

    std::vector<std::string> checkedNames() const;

  private:
    void checksChanged();

    QListWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace varnetto
