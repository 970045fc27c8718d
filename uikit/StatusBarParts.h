#pragma once

#include <QLabel>
#include <QSizeGrip>
#include <QWidget>

#include <array>

namespace varnetto {

// A status bar of eight parts whose right edges are fixed when it is made:
// 50, 180, 280, 380, W - 240, W - 170, W - 120 and the end of the bar.
class StatusBarParts : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPartCount = 8;

    explicit StatusBarParts(int width, QWidget* parent = nullptr);

    void setText(int part, const QString& text);
    QString text(int part) const;
    // Right edge of a part; the last one follows the bar's width.
    int rightEdge(int part) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placeParts();

    std::array<QLabel*, kPartCount> labels_{};
    std::array<int, kPartCount - 1> edges_{};
    QSizeGrip* grip_ = nullptr;
};

}  // namespace varnetto
