#include "editor/EditorControls.h"

#include <QAbstractSpinBox>
#include <QLabel>
#include <QRegularExpressionValidator>

#include <limits>

namespace varnetto {

WholeNumberEdit::WholeNumberEdit(const QString& field, std::int64_t minimum, std::int64_t maximum,
                                 QWidget* parent)
    : QLineEdit(parent), field_(field), minimum_(minimum), maximum_(maximum) {
    const int digits = static_cast<int>(QString::number(maximum).size());
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), this));
}

void WholeNumberEdit::showNumber(std::int32_t value) {
    shownValue_ = value;
    shownText_ = QString::number(value);
    shown_ = true;
    setText(shownText_);
}

std::optional<std::int32_t> WholeNumberEdit::number() const {
    if (shown_ && text() == shownText_) return shownValue_;
    const QString typed = text().trimmed();
    if (typed.isEmpty() || typed.size() > 18) return std::nullopt;
    for (const QChar c : typed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    }
    const std::int64_t value = typed.toLongLong();
    if (value < minimum_ || value > maximum_) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

FieldRefusal WholeNumberEdit::refusal() {
    return {this, QString::fromUtf8("%1: 请输入 %2 到 %3 之间的整数。")
                      .arg(field_)
                      .arg(minimum_)
                      .arg(maximum_)};
}

CodedList::CodedList(QWidget* parent) : QComboBox(parent) {}

void CodedList::addCoded(const QString& text, std::int32_t code) {
    addItem(text, code);
}

void CodedList::showCode(std::int32_t code) {
    shownCode_ = code;
    setCurrentIndex(findData(code));
}

std::int32_t CodedList::code() const {
    if (currentIndex() < 0) return shownCode_;
    return currentData().toInt();
}

QLineEdit* makeTextEdit(QWidget* parent, const char* objectName) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    // Stored texts have no length limit; a shorter one would cut them.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QLabel* makeLabel(const char* utf8, QWidget* parent, QWidget* control) {
    auto* label = new QLabel(QString::fromUtf8(utf8), parent);
    if (control) label->setBuddy(control);
    return label;
}

void setControlsEnabled(const std::vector<QWidget*>& controls, bool enabled) {
    for (QWidget* control : controls) {
        control->setEnabled(enabled);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setReadOnly(!enabled);
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(control)) spin->setReadOnly(!enabled);
    }
}

bool isOn(std::int32_t flag) {
    return flag != 0;
}

std::int32_t flagOf(bool on) {
    return on ? 1 : 0;
}

}  // namespace varnetto
