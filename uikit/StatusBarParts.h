#pragma once

#include <QLabel>
#include <QSizeGrip>
#include <QWidget>

#include <array>

namespace varnetto {

// The parts of the main window's status bar, left to right.
enum class StatusPart {
    Ready,      // "就绪"
    LockCount,  // how many rows are locked
    LockState,  // whether the shown row is locked
    Empty,      // always empty
    Path,       // the shown picture's path; takes what the others leave
    Dimensions,
    FileSize,
    FileTime,
};

// A status bar of one part for each StatusPart. The parts are laid out again
// from the bar's own width on every resize: the left four from the left edge,
// the last three from the right, each wide enough for its longest usual text,
// and the path takes what remains.
class StatusBarParts : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPartCount = 8;

    explicit StatusBarParts(QWidget* parent = nullptr);

    void setText(StatusPart part, const QString& text);
    QString text(StatusPart part) const;
    // Right edge of a part; the last one's is the end of the bar.
    int rightEdge(StatusPart part) const;

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
