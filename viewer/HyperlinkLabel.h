#pragma once

#include <QColor>
#include <QLabel>

class QRect;

namespace varnetto {

class LinkOpener;
class UserDialogs;

// The text of a link's failure code, as the error box shows it.
QString hyperlinkErrorText(int code);

// A static text that looks and acts like a link: blue until it has been
// opened, purple afterwards, with its target as tool tip. A click opens the
// target; a failure beeps and says why.
class HyperlinkLabel : public QLabel {
    Q_OBJECT
  public:
    static constexpr QColor kLinkColor{0, 0, 238};
    static constexpr QColor kVisitedColor{85, 26, 139};

    // Placed at rect, then fitted to its text. An empty text shows the
    // target; an empty target opens the text.
    HyperlinkLabel(const QString& text, const QString& target, const QRect& rect,
                   LinkOpener& opener, UserDialogs& dialogs, QWidget* parent);

    const QString& target() const { return target_; }
    bool visited() const { return visited_; }
    void setVisited(bool visited);

    // What a click does.
    void open();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void fitToText();
    void applyColor();

    LinkOpener& opener_;
    UserDialogs& dialogs_;
    QString target_;
    bool visited_ = false;
};

}  // namespace varnetto
