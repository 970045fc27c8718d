#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace varnetto {

class PictureBox;

// The effect switch and choice. No tab shows this page: its values pass
// from the loaded scheme to the saved one, and the pipeline draws no
// effect.
class EffectsPage final : public EditorPage {
    Q_OBJECT
  public:
    EffectsPage(EditorFrame& frame, QWidget* parent);

    QString title() const override { return {}; }
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    void applyMasterRule();

    QCheckBox* master_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QComboBox* list_ = nullptr;
    QGroupBox* previewGroup_ = nullptr;
    PictureBox* preview_ = nullptr;
    // The stored code while the list shows none of its entries.
    std::int32_t loadedType_ = stored(EffectType::Emboss);
};

}  // namespace varnetto
