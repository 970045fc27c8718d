#include "uikit/StatusBarParts.h"

#include <QFontMetrics>

#include <algorithm>

namespace varnetto {

StatusBarParts::StatusBarParts(int width, QWidget* parent) : QWidget(parent) {
    edges_ = {50, 180, 280, 380, width - 240, width - 170, width - 120};
    for (auto& label : labels_) {
        label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
    }
    grip_ = new QSizeGrip(this);
    setFixedHeight(QFontMetrics(font()).height() + 8);
    resize(width, height());
    placeParts();
}

void StatusBarParts::setText(int part, const QString& text) {
    if (part >= 0 && part < kPartCount) labels_[static_cast<size_t>(part)]->setText(text);
}

QString StatusBarParts::text(int part) const {
    if (part < 0 || part >= kPartCount) return {};
    return labels_[static_cast<size_t>(part)]->text();
}

int StatusBarParts::rightEdge(int part) const {
    if (part < 0 || part >= kPartCount) return 0;
    if (part == kPartCount - 1) return width();
    return edges_[static_cast<size_t>(part)];
}

void StatusBarParts::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeParts();
}

void StatusBarParts::placeParts() {
    int left = 0;
    for (int part = 0; part < kPartCount; ++part) {
        const int right = std::max(left, rightEdge(part));
        labels_[static_cast<size_t>(part)]->setGeometry(left, 0, right - left, height());
        left = right;
    }
    const int gripSize = height();
    grip_->setGeometry(width() - gripSize, 0, gripSize, gripSize);
}

}  // namespace varnetto
