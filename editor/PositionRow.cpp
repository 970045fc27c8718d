#include "editor/PositionRow.h"

#include "editor/EditorArtwork.h"
#include "editor/EditorControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace varnetto {

namespace {

constexpr QSize kPickButtonSize{30, 30};

PercentEdit* positionEdit(const char* field, double fraction, QWidget* parent) {
    auto* edit = new PercentEdit(QString::fromUtf8(field), parent);
    edit->setFixedWidth(60);
    edit->showFraction(fraction);
    return edit;
}

}  // namespace

PositionRow::PositionRow(EditorFrame& frame, PositionPick pick, const char* what,
                         const QString& prefix, double x, double y, QWidget* parent)
    : QWidget(parent), frame_(frame), pick_(pick), x_(x), y_(y) {
    const QString thing = QString::fromUtf8(what);
    const QString capital = prefix.left(1).toUpper() + prefix.mid(1);
    pickButton_ = new QPushButton(this);
    pickButton_->setObjectName("pick" + capital + "Position");
    pickButton_->setFlat(true);
    pickButton_->setFixedSize(kPickButtonSize);
    pickButton_->setIconSize(kPickButtonSize - QSize(6, 6));
    pickButton_->setToolTip(QString::fromUtf8("点击预览图像获取%1位置").arg(thing));
    // Named for itself: with its picture gone it would have no name at all.
    pickButton_->setAccessibleName(pickButton_->toolTip());
    pickLabel_ = new QLabel(QString::fromUtf8("点击预览图像\n获取%1位置").arg(thing), this);
    xEdit_ = positionEdit("X(％)", x, this);
    xEdit_->setObjectName(prefix + "PosX");
    xLabel_ = makeLabel("X(％)：", this, xEdit_);
    yEdit_ = positionEdit("Y(％)", y, this);
    yEdit_->setObjectName(prefix + "PosY");
    yLabel_ = makeLabel("Y(％)：", this, yEdit_);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(pickLabel_);
    row->addWidget(pickButton_);
    row->addSpacing(15);
    row->addWidget(xLabel_);
    row->addWidget(xEdit_);
    row->addSpacing(10);
    row->addWidget(yLabel_);
    row->addWidget(yEdit_);
    row->addStretch();

    connect(pickButton_, &QPushButton::clicked, this, [this] {
        frame_.armPositionPick(pick_, [this](double pickedX, double pickedY) {
            showPosition(pickedX, pickedY);
            Q_EMIT moved();
        });
    });
    connect(xEdit_, &PercentEdit::fractionTyped, this, [this](double fraction) {
        x_ = fraction;
        Q_EMIT moved();
    });
    connect(yEdit_, &PercentEdit::fractionTyped, this, [this](double fraction) {
        y_ = fraction;
        Q_EMIT moved();
    });
}

void PositionRow::showPosition(double x, double y) {
    x_ = x;
    y_ = y;
    xEdit_->showFraction(x);
    yEdit_->showFraction(y);
}

std::optional<FieldRefusal> PositionRow::refusal() const {
    for (PercentEdit* edit : {xEdit_, yEdit_}) {
        if (!edit->untouched() && !edit->typedFraction()) return edit->refusal();
    }
    return std::nullopt;
}

void PositionRow::setActive(bool on) {
    setControlsEnabled({pickLabel_, pickButton_, xLabel_, xEdit_, yLabel_, yEdit_}, on);
    pickButton_->setIcon(on ? editorArtwork::pickPosition() : QIcon());
}

}  // namespace varnetto
