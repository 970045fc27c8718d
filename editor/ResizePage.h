#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"

#include <array>

class QButtonGroup;
class QGridLayout;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace varnetto {

// "调整大小": resizing (mode and value), resampling, and the output quality
// settings used when files are written: JPEG quality, the file-size limit,
// filter, TIFF compression.
class ResizePage final : public EditorPage {
    Q_OBJECT
  public:
    ResizePage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    // One resize mode: its radio, label, value edit and unit.
    struct ModeRow {
        QRadioButton* radio = nullptr;
        QLabel* label = nullptr;
        WholeNumberEdit* value = nullptr;
        QLabel* unit = nullptr;
    };

    void buildModes(QWidget* group);
    void buildSizeLimit(QGridLayout* grid, QWidget* group);
    void applyLimitRule();
    void applyMasterRule();
    void applyModeRules();
    std::vector<QWidget*> followers() const;

    QCheckBox* master_ = nullptr;
    QButtonGroup* modeGroup_ = nullptr;
    std::array<ModeRow, 3> modes_{};
    QWidget* modeBox_ = nullptr;
    // The file-size limit applies with any mode, or none: a box of its own,
    // outside the modes' group.
    QCheckBox* limited_ = nullptr;
    QLabel* limitLabel_ = nullptr;
    WholeNumberEdit* limit_ = nullptr;
    QLabel* limitUnit_ = nullptr;
    QLabel* limitNote_ = nullptr;
    std::int32_t loadedLimit_ = 0;
    QCheckBox* includesBorder_ = nullptr;
    QCheckBox* resample_ = nullptr;
    QLabel* qualityLabel_ = nullptr;
    QSlider* qualitySlider_ = nullptr;
    QSpinBox* quality_ = nullptr;
    QLabel* filterLabel_ = nullptr;
    CodedList* filter_ = nullptr;
    QLabel* tiffLabel_ = nullptr;
    CodedList* tiff_ = nullptr;
    // The quality a scheme stored and the spin box's value that shows it: a
    // stored value outside 1-100 comes back unchanged unless the user moves
    // the quality.
    std::int32_t loadedQuality_ = 90;
    int shownQuality_ = 90;
};

}  // namespace varnetto
