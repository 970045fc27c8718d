#pragma once

#include "editor/EditorPage.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace varnetto {

class PercentEdit;

// Where the caption or the stamp goes: typed as X/Y percentages or picked by
// clicking the preview, each changing the position at once.
class PositionRow final : public QWidget {
    Q_OBJECT
  public:
    // what names the thing placed in the texts ("文本", "印章"); prefix
    // starts the object names ("text": "pickTextPosition", "textPosX", …).
    PositionRow(EditorFrame& frame, PositionPick pick, const char* what, const QString& prefix,
                double x, double y, QWidget* parent);

    void showPosition(double x, double y);
    double x() const { return x_; }
    double y() const { return y_; }
    // The refusal of a typed text that is no position, if any.
    std::optional<FieldRefusal> refusal() const;
    // Enabled with the page's master check box; the pick button's picture
    // shows only then.
    void setActive(bool on);

  Q_SIGNALS:
    // Typed or picked: the preview is to follow.
    void moved();

  private:
    EditorFrame& frame_;
    PositionPick pick_;
    QLabel* pickLabel_ = nullptr;
    QPushButton* pickButton_ = nullptr;
    QLabel* xLabel_ = nullptr;
    PercentEdit* xEdit_ = nullptr;
    QLabel* yLabel_ = nullptr;
    PercentEdit* yEdit_ = nullptr;
    double x_ = 0.0;
    double y_ = 0.0;
};

}  // namespace varnetto
