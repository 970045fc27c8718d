#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QSlider;
class QSpinBox;
class QToolButton;

namespace varnetto {

// "图像增强": brightness and contrast (each on a choice of colour channels),
// sharpening, despeckling, red-eye removal, rotation and flipping.
class EnhancementPage final : public EditorPage {
    Q_OBJECT
  public:
    EnhancementPage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    // One amount: its switch, slider and value (and, for brightness and
    // contrast, its channels). A stored value outside the range comes back
    // unchanged unless the user moves it; so do the channel flags of a
    // stored channel the list does not offer.
    struct Amount {
        QCheckBox* check = nullptr;
        QSlider* slider = nullptr;
        QSpinBox* value = nullptr;
        CodedList* channel = nullptr;
        std::int32_t loadedValue = 0;
        int shownValue = 0;
        std::array<std::int32_t, 3> loadedFlags{1, 1, 1};
    };
    enum AmountIndex { kBrightness, kContrast, kSharpen, kDespeckle };

    void buildAmount(Amount& amount, QGridLayout* grid, int row, const char* name,
                     const char* objectName, int minimum, int maximum, int initial,
                     bool withChannel);
    QToolButton* makePictureButton(const char* tip, const char* objectName, QButtonGroup* group,
                                   int id);
    void applyMasterRule();
    void applyAmountRule(const Amount& amount);
    void applyRotationRule();
    void applyFlipRule();
    void readAmount(const Amount& amount, std::int32_t& enabled, std::int32_t& value) const;
    void readChannel(const Amount& amount, std::int32_t& channel,
                     std::array<std::int32_t*, 3> flags) const;
    static void clearChoice(QButtonGroup* group);

    QCheckBox* master_ = nullptr;
    QLabel* hint_ = nullptr;
    std::array<Amount, 4> amounts_{};
    QCheckBox* rotate_ = nullptr;
    QButtonGroup* rotations_ = nullptr;
    QCheckBox* flip_ = nullptr;
    QButtonGroup* flips_ = nullptr;
    QCheckBox* redEye_ = nullptr;
    float chosenAngle_ = 0.0f;
    std::int32_t chosenFlip_ = stored(FlipDirection::None);
};

}  // namespace varnetto
