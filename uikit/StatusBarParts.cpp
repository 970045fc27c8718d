#include "uikit/StatusBarParts.h"

#include <QEvent>
#include <QFontMetrics>

#include <algorithm>
#include <numeric>

namespace varnetto {

namespace {

constexpr int kPathPart = static_cast<int>(StatusPart::Path);

// Each part in StatusPart's order: its label's name, its least width (the
// classic layout's) and the longest text it usually shows; the path part
// takes whatever is left.
constexpr struct {
    const char* name;
    int least;
    const char* longest;
} kParts[StatusBarParts::kPartCount] = {
    {"statusReady", 50, "就绪"},
    {"statusLockCount", 130, "9999 个图像被锁定"},
    {"statusLockState", 100, "图像被锁定"},
    {"statusEmpty", 100, ""},
    {"statusPath", 0, ""},
    {"statusDimensions", 70, "10000 X 10000"},
    {"statusFileSize", 50, "999999K"},
    {"statusFileTime", 120, "0000-00-00 00:00:00"},
};
static_assert(static_cast<int>(StatusPart::FileTime) == StatusBarParts::kPartCount - 1);

size_t slot(StatusPart part) {
    return static_cast<size_t>(part);
}

}  // namespace

StatusBarParts::StatusBarParts(QWidget* parent) : QWidget(parent) {
    for (size_t part = 0; part < labels_.size(); ++part) {
        QLabel*& label = labels_[part];
        label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(kParts[part].name));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
    }
    grip_ = new QSizeGrip(this);
    measureParts();
}

void StatusBarParts::setText(StatusPart part, const QString& text) {
    labels_.at(slot(part))->setText(text);
}

QString StatusBarParts::text(StatusPart part) const {
    return labels_.at(slot(part))->text();
}

int StatusBarParts::rightEdge(StatusPart part) const {
    return edges_.at(slot(part));
}

void StatusBarParts::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeParts();
}

void StatusBarParts::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) measureParts();
}

void StatusBarParts::measureParts() {
    const QFontMetrics metrics(font());
    setFixedHeight(metrics.height() + 8);
    // A framed label indents its text by half an "x" and draws its frame
    // inside its own rectangle.
    const int padding =
        2 * labels_[0]->frameWidth() + metrics.horizontalAdvance(QLatin1Char('x')) + 4;
    for (int part = 0; part < kPartCount; ++part) {
        const QString longest = QString::fromUtf8(kParts[part].longest);
        const int needed = longest.isEmpty() ? 0 : metrics.horizontalAdvance(longest) + padding;
        widths_[static_cast<size_t>(part)] = std::max(kParts[part].least, needed);
    }
    // The size grip covers the end of the last part.
    widths_[kPartCount - 1] += height();
    placeParts();
}

void StatusBarParts::placeParts() {
    const int width = this->width();
    const auto wanted = [this](int first, int last) {
        return std::accumulate(widths_.begin() + first, widths_.begin() + last + 1, 0);
    };
    // The facts at the right stay whole; the path, then the parts at the
    // left give way when the bar is narrow.
    const int rightStart = std::max(0, width - wanted(kPathPart + 1, kPartCount - 1));
    int edge = 0;
    for (int part = 0; part < kPathPart; ++part) {
        edge = std::min(edge + widths_[static_cast<size_t>(part)], rightStart);
        edges_[static_cast<size_t>(part)] = edge;
    }
    edges_[kPathPart] = rightStart;
    edge = rightStart;
    for (int part = kPathPart + 1; part < kPartCount; ++part) {
        edge += widths_[static_cast<size_t>(part)];
        edges_[static_cast<size_t>(part)] = part == kPartCount - 1 ? std::max(edge, width) : edge;
    }
    int left = 0;
    for (int part = 0; part < kPartCount; ++part) {
        const int right = std::max(left, edges_[static_cast<size_t>(part)]);
        labels_[static_cast<size_t>(part)]->setGeometry(left, 0, right - left, height());
        left = right;
    }
    const int gripSize = height();
    grip_->setGeometry(width - gripSize, 0, gripSize, gripSize);
}

}  // namespace varnetto
