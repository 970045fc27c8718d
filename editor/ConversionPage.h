#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"
#include "schemes/ReservedSettings.h"

#include <array>

class QCheckBox;
class QLabel;

namespace varnetto {

// "图像转换": the colour type and the file format of the output, and what
// the written file keeps of the source's colour profile and metadata.
class ConversionPage final : public EditorPage {
    Q_OBJECT
  public:
    ConversionPage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  private:
    void applyMasterRule();
    void applyColorRule();
    void applyFormatRule();

    QCheckBox* master_ = nullptr;
    QCheckBox* convertColor_ = nullptr;
    QLabel* colorLabel_ = nullptr;
    CodedList* colorType_ = nullptr;
    QCheckBox* convertFormat_ = nullptr;
    QLabel* formatLabel_ = nullptr;
    CodedList* format_ = nullptr;
    // One list per setting of the reserved fields, in the table's order.
    std::array<CodedList*, reservedSettings.size()> reserved_{};
};

}  // namespace varnetto
