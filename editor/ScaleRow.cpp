#include "editor/ScaleRow.h"

#include "editor/EditorControls.h"
#include "schemes/ReservedSettings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>

#include <cmath>

namespace varnetto {

ScaleRow::ScaleRow(const char* side, const QString& prefix, std::int32_t initial, QWidget* parent)
    : QWidget(parent) {
    scaled_ = new QCheckBox(QString::fromUtf8("随图像缩放"), this);
    scaled_->setObjectName(prefix + "Scaled");
    const QString field = QString::fromUtf8("%1(％)").arg(QString::fromUtf8(side));
    edit_ = new PercentEdit(field, this);
    edit_->setObjectName(prefix + "Share");
    edit_->setFixedWidth(60);
    edit_->showFraction(static_cast<double>(initial) / kWholeShare);
    label_ = makeLabel((field + QString::fromUtf8("：")).toUtf8().constData(), this, edit_);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(scaled_);
    row->addSpacing(10);
    row->addWidget(label_);
    row->addWidget(edit_);
    row->addStretch();

    connect(scaled_, &QCheckBox::toggled, this, [this] {
        applyCheckRule();
        Q_EMIT changed();
    });
    connect(edit_, &PercentEdit::fractionTyped, this, [this] { Q_EMIT changed(); });
}

void ScaleRow::showShare(std::int32_t stored) {
    loaded_ = stored;
    loadedChecked_ = stored != 0;
    const QSignalBlocker quiet(scaled_);
    scaled_->setChecked(loadedChecked_);
    // A share that is off keeps the edit's last value to offer.
    if (stored != 0) edit_->showFraction(static_cast<double>(stored) / kWholeShare);
    applyCheckRule();
}

std::optional<std::int32_t> ScaleRow::share() const {
    const bool checked = scaled_->isChecked();
    if (checked == loadedChecked_ && (!checked || edit_->untouched())) return loaded_;
    if (!checked) return 0;
    const std::optional<double> fraction = edit_->typedFraction();
    if (!fraction) return std::nullopt;
    // Checked at 0.00 would mean the fixed size: the smallest share instead.
    return std::max<std::int32_t>(1,
                                  static_cast<std::int32_t>(std::lround(*fraction * kWholeShare)));
}

std::optional<FieldRefusal> ScaleRow::refusal() const {
    if (share()) return std::nullopt;
    return edit_->refusal();
}

void ScaleRow::setActive(bool on) {
    active_ = on;
    scaled_->setEnabled(on);
    applyCheckRule();
}

void ScaleRow::applyCheckRule() {
    setControlsEnabled({label_, edit_}, active_ && scaled_->isChecked());
}

}  // namespace varnetto
