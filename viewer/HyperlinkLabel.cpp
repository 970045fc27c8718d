#include "viewer/HyperlinkLabel.h"

#include "uikit/UserDialogs.h"
#include "viewer/LinkOpener.h"

#include <QApplication>
#include <QMouseEvent>

namespace varnetto {

QString hyperlinkErrorText(int code) {
    switch (code) {
        case 0:
            return QStringLiteral("The operating system is out\nof memory or resources.");
        case 2:
            return QStringLiteral("The specified file was not found.");
        case 3:
            return QStringLiteral("The specified path was not found.");
        case 5:
            return QStringLiteral("The operating system denied\naccess to the specified file.");
        case 8:
            return QStringLiteral("There was not enough memory to complete the operation.");
        case 11:
            return QStringLiteral(
                "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        case 26:
            return QStringLiteral("A sharing violation occurred. ");
        case 27:
            return QStringLiteral("The filename association is\nincomplete or invalid.");
        case 28:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because the request timed out.");
        case 29:
            return QStringLiteral("The DDE transaction failed.");
        case 30:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because other DDE "
                "transactions\nwere being processed.");
        case 31:
            return QStringLiteral(
                "There is no application associated\nwith the given filename extension.");
        case 32:
            return QStringLiteral("The specified dynamic-link library was not found.");
        default:
            break;
    }
    return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
}

HyperlinkLabel::HyperlinkLabel(const QString& text, const QString& target, const QRect& rect,
                               LinkOpener& opener, UserDialogs& dialogs, QWidget* parent)
    : QLabel(text, parent), opener_(opener), dialogs_(dialogs), target_(target) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setGeometry(rect);
    if (target_.isEmpty()) target_ = this->text();
    if (this->text().isEmpty()) setText(target_);
    fitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(target_);
    applyColor();
}

void HyperlinkLabel::setVisited(bool visited) {
    visited_ = visited;
    applyColor();
}

void HyperlinkLabel::applyColor() {
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, visited_ ? kVisitedColor : kLinkColor);
    setPalette(colors);
}

void HyperlinkLabel::fitToText() {
    QRect area = geometry();
    const QSize size = fontMetrics().size(Qt::TextSingleLine, text());
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) area.setTop(area.top() + (area.height() - size.height()) / 2);
    area.setHeight(size.height());
    if (align & Qt::AlignHCenter) {
        area.setLeft(area.left() + (area.width() - size.width()) / 2);
    } else if (align & Qt::AlignRight) {
        area.setLeft(area.right() + 1 - size.width());
    }
    area.setWidth(size.width());
    setGeometry(area);
}

void HyperlinkLabel::open() {
    const int result = opener_.open(target_);
    setVisited(result > 32);
    if (result > 32) return;
    QApplication::beep();
    dialogs_.message(window(),
                     QStringLiteral("Unable to open hyperlink:\n\n") + hyperlinkErrorText(result),
                     MessageKind::Exclamation);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) open();
    event->accept();
}

}  // namespace varnetto
