#pragma once

#include <QFrame>
#include <QImage>
#include <QPointF>

#include <optional>

namespace varnetto {

// A framed box that shows one picture centred in it and reports where a
// click falls on the picture.
class PictureBox : public QFrame {
    Q_OBJECT
  public:
    PictureBox(QSize contents, QWidget* parent);

    void showPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    // The box's inside, where pictures are fitted.
    QSize contentsSize() const { return contentsRect().size(); }
    // The fractions of the picture's width and height at point (in the
    // box's coordinates), outside 0-1 beside the picture; none without one.
    std::optional<QPointF> pictureFraction(QPoint point) const;

  Q_SIGNALS:
    void clicked(QPoint point);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QImage picture_;
};

}  // namespace varnetto
