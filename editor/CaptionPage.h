#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorPage.h"

#include <QFont>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace varnetto {

class PositionRow;
class ScaleRow;

// "添加文字": the caption's text, font, colour and position; the position is
// typed as percentages or picked by clicking the preview.
class CaptionPage final : public EditorPage {
    Q_OBJECT
  public:
    CaptionPage(EditorFrame& frame, QWidget* parent);

    QString title() const override;
    void load(const Scheme& scheme) override;
    std::optional<FieldRefusal> read(Scheme& scheme) const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The caption's font as the scheme stores it.
    struct CaptionFontFields {
        std::string face;
        std::int32_t size = 80;  // tenths of a point
        std::int32_t charset = 1;
        std::int32_t weight = 400;
        std::int32_t bold = 0;
        std::int32_t italic = 0;
        std::int32_t underline = 0;
        std::int32_t strikeOut = 0;
    };

    void buildLayout();
    void applyMasterRule();
    void chooseFont();
    void chooseColor();
    void showSample();
    void showSampleFont();
    void fitSample();
    QFont sampleFont() const;
    std::vector<QWidget*> followers() const;

    QCheckBox* master_ = nullptr;
    QLabel* textLabel_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    PositionRow* position_ = nullptr;
    ScaleRow* scale_ = nullptr;
    QPushButton* fontButton_ = nullptr;
    QPushButton* colorButton_ = nullptr;
    QLabel* sample_ = nullptr;
    QLabel* fontInUse_ = nullptr;

    CaptionFontFields fontFields_;
    std::int32_t textColor_ = 0;  // 0x00BBGGRR
    // The caption text as stored and as the edit showed it: an untouched
    // text reads back byte for byte.
    std::string loadedText_;
    QString shownText_;
};

// The stored character set for a font family: the one kept while the family
// can write it, otherwise the first of simplified Chinese, traditional
// Chinese, Japanese and Korean it writes, else western.
std::int32_t charsetForFamily(const QString& family, std::int32_t kept);

}  // namespace varnetto
