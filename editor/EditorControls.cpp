#include "editor/EditorControls.h"

#include "editor/PictureBox.h"

#include <QAbstractSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

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

PercentEdit::PercentEdit(const QString& field, QWidget* parent) : QLineEdit(parent), field_(field) {
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,3}([.][0-9]{0,6})?")), this));
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (showing_) return;
        if (const std::optional<double> fraction = typedFraction()) Q_EMIT fractionTyped(*fraction);
    });
}

void PercentEdit::showFraction(double fraction) {
    shownText_ = QString::asprintf("%4.2f", fraction * 100.0);
    showing_ = true;
    setText(shownText_);
    showing_ = false;
}

std::optional<double> PercentEdit::typedFraction() const {
    bool ok = false;
    const double percent = QLocale::c().toDouble(text().trimmed(), &ok);
    if (!ok || !(percent >= 0.0 && percent <= 100.0)) return std::nullopt;
    return percent * 0.01;
}

FieldRefusal PercentEdit::refusal() {
    return {this, QString::fromUtf8("%1: 请输入 0 到 100 之间的数值。").arg(field_)};
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

QHBoxLayout* leftAlignedRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* widget : widgets) row->addWidget(widget);
    row->addStretch();
    return row;
}

QGroupBox* makePreviewGroup(const char* title, QSize size, const char* objectName, QWidget* parent,
                            PictureBox*& box) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    box = new PictureBox(size, group);
    box->setObjectName(QString::fromLatin1(objectName));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(box, 0, Qt::AlignCenter);
    return group;
}

void setControlsEnabled(const std::vector<QWidget*>& controls, bool enabled) {
    for (QWidget* control : controls) {
        control->setEnabled(enabled);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setReadOnly(!enabled);
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(control)) spin->setReadOnly(!enabled);
        if (auto* text = qobject_cast<QPlainTextEdit*>(control)) text->setReadOnly(!enabled);
    }
}

bool isOn(std::int32_t flag) {
    return flag != 0;
}

std::int32_t flagOf(bool on) {
    return on ? 1 : 0;
}

}  // namespace varnetto
