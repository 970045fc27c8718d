#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>

namespace varnetto {

// A dialog's layout units for its font: a quarter of the average letter
// width across, an eighth of the line height down.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        const int letters = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        baseX_ = (letters / 26 + 1) / 2;
        baseY_ = metrics.height();
    }

    int x(int units) const { return units * baseX_ / 4; }
    int y(int units) const { return units * baseY_ / 8; }
    QRect rect(int left, int top, int width, int height) const {
        return {x(left), y(top), x(width), y(height)};
    }

  private:
    int baseX_ = 1;
    int baseY_ = 1;
};

}  // namespace varnetto
