#pragma once

#include <QDialog>

#include <array>
#include <string>

class QLineEdit;

namespace varnetto {

class UserDialogs;

// "选择边框图像文件": the eight files of a custom border, one row each (top,
// left, bottom, right edge, then the top-left, bottom-left, bottom-right and
// top-right corners). Result 1 after "确定", 2 after "取消".
class BorderPiecesDialog final : public QDialog {
    Q_OBJECT
  public:
    // The rows start with pieces, the paths the editor holds now, so that
    // confirming without a change keeps them.
    BorderPiecesDialog(const std::array<std::string, 8>& pieces, UserDialogs& dialogs,
                       QWidget* parent);

    // The rows' texts in piece order, empty ones included.
    std::array<std::string, 8> pieces() const;

  public Q_SLOTS:
    void reject() override;

  private:
    void choose(int row);

    UserDialogs& dialogs_;
    std::array<QLineEdit*, 8> edits_{};
};

}  // namespace varnetto
