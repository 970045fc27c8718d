#pragma once

#include "editor/EditorPage.h"

#include <QWidget>

#include <cstdint>
#include <optional>

class QCheckBox;
class QLabel;

namespace varnetto {

class PercentEdit;

// "随图像缩放": the caption or the stamp sized as a share of the picture
// (its height or its width), kept per ten thousand; 0 keeps the fixed size.
class ScaleRow final : public QWidget {
    Q_OBJECT
  public:
    // side names the measure ("高度", "宽度"); prefix starts the object names
    // ("text": "textScaled", "textShare"); initial is the share offered
    // when the box is first checked.
    ScaleRow(const char* side, const QString& prefix, std::int32_t initial, QWidget* parent);

    void showShare(std::int32_t stored);
    // The share as stored: the loaded value while nothing was touched.
    std::optional<std::int32_t> share() const;
    std::optional<FieldRefusal> refusal() const;
    void setActive(bool on);

  Q_SIGNALS:
    void changed();

  private:
    void applyCheckRule();

    QCheckBox* scaled_ = nullptr;
    QLabel* label_ = nullptr;
    PercentEdit* edit_ = nullptr;
    std::int32_t loaded_ = 0;
    bool loadedChecked_ = false;
    bool active_ = false;
};

}  // namespace varnetto
