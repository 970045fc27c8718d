#pragma once

#include "manager/ManagerRequests.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace varnetto {

// "处理方案参数查看": a scheme's parameters as a read-only two-column list,
// one row per parameter, grouped by processing step. Without a scheme the
// list stays empty.
class SchemeViewerDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit SchemeViewerDialog(const SchemeViewerRequest& request, QWidget* parent = nullptr);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QTableWidget* list_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace varnetto
