#pragma once

#include <QLabel>
#include <QSizeGrip>
#include <QWidget>

#include <array>

namespace varnetto {

// A status bar of eight parts: ready text, lock count, lock state, an empty
// part, path, dimensions, size and time. The parts are laid out again from
// the bar's own width on every resize: the left four from the left edge, the
// last three from the right, each wide enough for its longest usual text,
// and the path takes what remains.
class StatusBarParts : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPartCount = 8;

    explicit StatusBarParts(QWidget* parent = nullptr);

    void setText(int part, const QString& text);
    QString text(int part) const;
    // Right edge of a part; the last one is the end of the bar.
    int rightEdge(int part) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void measureParts();
    void placeParts();

    std::array<QLabel*, kPartCount> labels_{};
    std::array<int, kPartCount> widths_{};  // wanted widths; the path's is its least
    std::array<int, kPartCount> edges_{};
    QSizeGrip* grip_ = nullptr;
};

}  // namespace varnetto
