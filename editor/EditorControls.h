#pragma once

#include "editor/EditorPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

class QGroupBox;
class QLabel;

namespace varnetto {

class PictureBox;

// An edit for one whole number from minimum to maximum; its validator keeps
// most other text out, and reading refuses what is left with a message that
// names the field and the range. A number shown from a scheme reads back as
// it was stored while its text is untouched, even one outside the range, so
// opening and saving a scheme never changes a value the user did not edit.
class WholeNumberEdit : public QLineEdit {
    Q_OBJECT
  public:
    WholeNumberEdit(const QString& field, std::int64_t minimum, std::int64_t maximum,
                    QWidget* parent);

    void showNumber(std::int32_t value);
    // None when the text is not a number in the range.
    std::optional<std::int32_t> number() const;
    FieldRefusal refusal();

  private:
    QString field_;
    std::int64_t minimum_;
    std::int64_t maximum_;
    QString shownText_;
    std::int32_t shownValue_ = 0;
    bool shown_ = false;
};

// An edit for a position typed as a percentage of the picture's width or
// height, 0-100, shown with two decimals. A position shown from a scheme
// reads back exactly as stored (even one outside the range) while its text
// is untouched.
class PercentEdit : public QLineEdit {
    Q_OBJECT
  public:
    PercentEdit(const QString& field, QWidget* parent);

    // Shows fraction x 100 without announcing it as typed.
    void showFraction(double fraction);
    // The typed position as a fraction; none when the text is not a number
    // from 0 to 100.
    std::optional<double> typedFraction() const;
    // True when the text is still the one last shown.
    bool untouched() const { return text() == shownText_; }
    FieldRefusal refusal();

  Q_SIGNALS:
    // A valid position was typed.
    void fractionTyped(double fraction);

  private:
    QString field_;
    QString shownText_;
    bool showing_ = false;
};

// A drop-down list whose items carry the codes a scheme stores. A stored
// code that no item carries leaves the list without a selection and reads
// back unchanged until the user chooses an item.
class CodedList : public QComboBox {
    Q_OBJECT
  public:
    explicit CodedList(QWidget* parent);

    void addCoded(const QString& text, std::int32_t code);
    void showCode(std::int32_t code);
    std::int32_t code() const;

  private:
    std::int32_t shownCode_ = 0;
};

// An edit for a scheme text: any length, line breaks kept.
QLineEdit* makeTextEdit(QWidget* parent, const char* objectName);

// A label naming control (its accessible name comes from the label).
QLabel* makeLabel(const char* utf8, QWidget* parent, QWidget* control = nullptr);

// Widgets side by side from the left; the rest of the row stays empty.
QHBoxLayout* leftAlignedRow(std::initializer_list<QWidget*> widgets);

// A titled frame around a picture box of the given size, for a page's own
// preview; box receives the picture box.
QGroupBox* makePreviewGroup(const char* title, QSize size, const char* objectName, QWidget* parent,
                            PictureBox*& box);

// Enables or disables controls; an edit is also read-only while disabled.
void setControlsEnabled(const std::vector<QWidget*>& controls, bool enabled);

// A scheme switch as a check state, and back (writers store 0 or 1).
bool isOn(std::int32_t flag);
std::int32_t flagOf(bool on);

}  // namespace varnetto
