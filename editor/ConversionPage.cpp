#include "editor/ConversionPage.h"

#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>

namespace varnetto {

// The settings chosen from a list of values are here; numbers belong to the
// pages of their steps, and a text setting would need a control of its own.
static_assert(std::all_of(reservedSettings.begin(), reservedSettings.end(),
                          [](const ReservedSetting& s) {
                              return s.kind == ReservedSlotKind::Int;
                          }));

namespace {

bool listed(const ReservedSetting& setting) {
    return !setting.isNumber();
}

}  // namespace

ConversionPage::ConversionPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("图像转换"), this);
    master_->setObjectName("convertEnabled");
    convertColor_ = new QCheckBox(text("颜色类型转换"), this);
    convertColor_->setObjectName("colorConvertEnabled");
    colorType_ = new CodedList(this);
    colorType_->setObjectName("colorType");
    for (const auto& [type, name] : colorTypeNames) colorType_->addCoded(text(name), stored(type));
    colorType_->showCode(stored(ColorType::TrueColor24));
    colorLabel_ = makeLabel("颜色类型：", this, colorType_);
    convertFormat_ = new QCheckBox(text("图像格式转换"), this);
    convertFormat_->setObjectName("formatConvertEnabled");
    format_ = new CodedList(this);
    format_->setObjectName("outputFormat");
    for (const OutputFormatName& entry : outputFormatNames)
        format_->addCoded(text(entry.label), stored(entry.format));
    format_->showCode(stored(OutputFormat::Jpeg));
    formatLabel_ = makeLabel("图像格式：", this, format_);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setVerticalSpacing(8);
    grid->addWidget(master_, 0, 0, 1, 3);
    grid->addWidget(convertColor_, 1, 0, 1, 3);
    grid->addWidget(colorLabel_, 2, 1);
    grid->addWidget(colorType_, 2, 2);
    grid->addWidget(convertFormat_, 3, 0, 1, 3);
    grid->addWidget(formatLabel_, 4, 1);
    grid->addWidget(format_, 4, 2);
    int row = 5;
    for (std::size_t i = 0; i < reservedSettings.size(); ++i) {
        const ReservedSetting& setting = reservedSettings[i];
        if (!listed(setting)) continue;
        auto* list = new CodedList(this);
        list->setObjectName(QString::fromUtf8(setting.name.data(), setting.name.size()));
        for (std::size_t value = 0; value < setting.valueCount; ++value)
            list->addCoded(QString::fromUtf8(setting.valueLabels[value].data(),
                                             setting.valueLabels[value].size()),
                           static_cast<std::int32_t>(value));
        list->showCode(0);
        const std::string label = std::string(setting.label) + "：";
        grid->addWidget(makeLabel(label.c_str(), this, list), row, 0, 1, 2);
        grid->addWidget(list, row++, 2);
        // Only the colours show in the preview; metadata is written, not seen.
        if (setting.id == ReservedSettingId::Color)
            connect(list, &QComboBox::currentIndexChanged, this,
                    [this] { this->frame().refreshPreview(); });
        reserved_[i] = list;
    }
    grid->setColumnMinimumWidth(0, 20);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row, 1);

    connect(master_, &QCheckBox::toggled, this, [this] {
        applyMasterRule();
        this->frame().refreshPreview();
    });
    connect(convertColor_, &QCheckBox::toggled, this, [this] {
        applyColorRule();
        this->frame().refreshPreview();
    });
    // The format only matters when a file is written: no render.
    connect(convertFormat_, &QCheckBox::toggled, this, &ConversionPage::applyFormatRule);
    connect(colorType_, &QComboBox::currentIndexChanged, this,
            [this] { this->frame().refreshPreview(); });
    applyMasterRule();
}

QString ConversionPage::title() const {
    return text("图像转换");
}

void ConversionPage::applyMasterRule() {
    const bool on = master_->isChecked();
    setControlsEnabled(
        {convertColor_, colorLabel_, colorType_, convertFormat_, formatLabel_, format_}, on);
    if (!on) return;
    applyColorRule();
    applyFormatRule();
}

void ConversionPage::applyColorRule() {
    setControlsEnabled({colorLabel_, colorType_},
                       master_->isChecked() && convertColor_->isChecked());
}

void ConversionPage::applyFormatRule() {
    setControlsEnabled({formatLabel_, format_},
                       master_->isChecked() && convertFormat_->isChecked());
}

void ConversionPage::load(const Scheme& scheme) {
    master_->setChecked(isOn(scheme.convertEnabled));
    convertColor_->setChecked(isOn(scheme.colorConvertEnabled));
    colorType_->showCode(scheme.colorType);
    convertFormat_->setChecked(isOn(scheme.formatConvertEnabled));
    format_->showCode(scheme.outputFormat);
    for (std::size_t i = 0; i < reservedSettings.size(); ++i)
        if (reserved_[i]) reserved_[i]->showCode(scheme.reservedInts[reservedSettings[i].slot]);
    applyMasterRule();
}

std::optional<FieldRefusal> ConversionPage::read(Scheme& scheme) const {
    scheme.convertEnabled = flagOf(master_->isChecked());
    scheme.colorConvertEnabled = flagOf(convertColor_->isChecked());
    scheme.colorType = colorType_->code();
    scheme.formatConvertEnabled = flagOf(convertFormat_->isChecked());
    scheme.outputFormat = format_->code();
    for (std::size_t i = 0; i < reservedSettings.size(); ++i)
        if (reserved_[i]) scheme.reservedInts[reservedSettings[i].slot] = reserved_[i]->code();
    return std::nullopt;
}

}  // namespace varnetto
