#include "editor/EffectsPage.h"

#include "editor/PictureBox.h"
#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace varnetto {

namespace {

// The effects listed after the coded ones; having no code of their own,
// they read back as the first.
constexpr const char* kUncodedEffects[] = {"百叶窗",   "龙卷风", "飓风", "毛毛雨", "暴雨",
                                           "玻璃水帘", "黑洞",   "底片", "波纹"};

}  // namespace

EffectsPage::EffectsPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("图像特效"), this);
    master_->setObjectName("effectEnabled");
    list_ = new QComboBox(this);
    list_->setObjectName("effectType");
    for (const auto& [code, name] : effectTypeNames) list_->addItem(text(name), stored(code));
    for (const char* name : kUncodedEffects) list_->addItem(text(name), stored(EffectType::Emboss));
    list_->setCurrentIndex(0);
    nameLabel_ = makeLabel("图像特效名称：", this, list_);
    previewGroup_ =
        makePreviewGroup("图像特效预览", QSize(160, 120), "effectPreview", this, preview_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->addWidget(master_);
    column->addLayout(leftAlignedRow({nameLabel_, list_}));
    column->addWidget(previewGroup_, 0, Qt::AlignLeft);
    column->addStretch();

    // Effects change no pixel: nothing here renders the preview.
    connect(master_, &QCheckBox::toggled, this, &EffectsPage::applyMasterRule);
    applyMasterRule();
}

void EffectsPage::applyMasterRule() {
    setControlsEnabled({nameLabel_, list_, previewGroup_, preview_}, master_->isChecked());
}

void EffectsPage::load(const Scheme& scheme) {
    master_->setChecked(isOn(scheme.effectEnabled));
    // The stored code picks a position in the list.
    const bool listed = scheme.effectType >= 0 && scheme.effectType < list_->count();
    list_->setCurrentIndex(listed ? scheme.effectType : -1);
    loadedType_ = scheme.effectType;
    applyMasterRule();
}

std::optional<FieldRefusal> EffectsPage::read(Scheme& scheme) const {
    scheme.effectEnabled = flagOf(master_->isChecked());
    scheme.effectType = list_->currentIndex() < 0 ? loadedType_ : list_->currentData().toInt();
    return std::nullopt;
}

}  // namespace varnetto
