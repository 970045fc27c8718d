#include "editor/CaptionPage.h"

#include "editor/PositionRow.h"
#include "editor/ScaleRow.h"
#include "schemes/ReservedSettings.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QColor>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace varnetto {

namespace {

const char* const kInitialCaption = "Processed By Varnetto";
// What the sample shows while the caption is empty.
const char* const kEmptyCaptionSample = "Photo By Zeborin\n2005-01-20";
// What the pipeline draws with when the scheme names no face or size.
const char* const kDefaultFace = "Arial";
constexpr std::int32_t kDefaultSize = 80;
constexpr int kBoldWeight = 700;
// The caption's height offered when it first follows the picture's size.
constexpr std::int32_t kInitialHeightShare = 500;

// Windows character sets and the writing system each stands for.
struct CharsetScript {
    std::int32_t charset;
    QFontDatabase::WritingSystem script;
};
constexpr CharsetScript kCharsetScripts[] = {
    {0, QFontDatabase::Latin},
    {128, QFontDatabase::Japanese},
    {129, QFontDatabase::Korean},
    {134, QFontDatabase::SimplifiedChinese},
    {136, QFontDatabase::TraditionalChinese},
    {161, QFontDatabase::Greek},
    {162, QFontDatabase::Latin},
    {163, QFontDatabase::Vietnamese},
    {177, QFontDatabase::Hebrew},
    {178, QFontDatabase::Arabic},
    {186, QFontDatabase::Latin},
    {204, QFontDatabase::Cyrillic},
    {222, QFontDatabase::Thai},
    {238, QFontDatabase::Latin},
};
constexpr std::int32_t kDefaultCharset = 1;  // whatever the face writes
constexpr std::int32_t kWesternCharset = 0;

QColor colorOf(std::int32_t bgr) {
    const auto c = static_cast<std::uint32_t>(bgr);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

std::int32_t bgrOf(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

std::int32_t tenthsOfPoint(const QFont& font) {
    if (font.pointSizeF() > 0)
        return static_cast<std::int32_t>(std::lround(font.pointSizeF() * 10));
    // A size in pixels, at the 96 dots per inch captions are drawn at.
    return static_cast<std::int32_t>(std::lround(font.pixelSize() * 72.0 / 96.0 * 10));
}

}  // namespace

std::int32_t charsetForFamily(const QString& family, std::int32_t kept) {
    if (kept == kDefaultCharset) return kept;
    const QList<QFontDatabase::WritingSystem> scripts = QFontDatabase::writingSystems(family);
    for (const CharsetScript& entry : kCharsetScripts) {
        if (entry.charset == kept && scripts.contains(entry.script)) return kept;
    }
    for (const auto script : {QFontDatabase::SimplifiedChinese, QFontDatabase::TraditionalChinese,
                              QFontDatabase::Japanese, QFontDatabase::Korean}) {
        if (!scripts.contains(script)) continue;
        for (const CharsetScript& entry : kCharsetScripts) {
            if (entry.script == script) return entry.charset;
        }
    }
    return kWesternCharset;
}

CaptionPage::CaptionPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("添加文字"), this);
    master_->setObjectName("textEnabled");
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("textContent");
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setTabChangesFocus(true);
    text_->setPlainText(text(kInitialCaption));
    shownText_ = text_->toPlainText();
    loadedText_ = kInitialCaption;
    textLabel_ = makeLabel("\n添加的文字：", this, text_);

    position_ = new PositionRow(frame, PositionPick::TextPosition, "文本", "text", 0.0, 0.0, this);
    scale_ = new ScaleRow("高度", "text", kInitialHeightShare, this);

    fontButton_ = new QPushButton(text("字体"), this);
    fontButton_->setObjectName("chooseFont");
    fontButton_->setAutoDefault(false);
    colorButton_ = new QPushButton(text("颜色"), this);
    colorButton_->setObjectName("chooseColor");
    colorButton_->setAutoDefault(false);
    sample_ = new QLabel(text(kInitialCaption), this);
    sample_->setObjectName("textSample");
    sample_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    sample_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sample_->setAutoFillBackground(true);
    sample_->setFixedHeight(90);
    sample_->setMargin(4);
    // The pipeline draws the caption's characters as typed, markup included.
    sample_->setTextFormat(Qt::PlainText);
    // A large font shrinks in the sample rather than widening the editor.
    sample_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    sample_->installEventFilter(this);
    fontInUse_ = new QLabel(this);
    fontInUse_->setObjectName("fontInUse");
    fontInUse_->setWordWrap(true);
    buildLayout();

    connect(master_, &QCheckBox::toggled, this, [this] {
        applyMasterRule();
        this->frame().refreshPreview();
    });
    // Typing shows in the sample only; the preview follows the next change.
    connect(text_, &QPlainTextEdit::textChanged, this, &CaptionPage::showSample);
    connect(position_, &PositionRow::moved, this, [this] { this->frame().refreshPreview(); });
    connect(scale_, &ScaleRow::changed, this, [this] { this->frame().refreshPreview(); });
    connect(fontButton_, &QPushButton::clicked, this, &CaptionPage::chooseFont);
    connect(colorButton_, &QPushButton::clicked, this, &CaptionPage::chooseColor);
    showSample();
    showSampleFont();
    applyMasterRule();
}

void CaptionPage::buildLayout() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(5);
    column->addWidget(master_);
    column->addWidget(textLabel_);
    column->addWidget(text_, 1);
    column->addWidget(position_);
    column->addWidget(scale_);
    column->addLayout(leftAlignedRow({fontButton_, colorButton_}));
    column->addWidget(sample_);
    column->addWidget(fontInUse_);
}

QString CaptionPage::title() const {
    return text("添加文字");
}

std::vector<QWidget*> CaptionPage::followers() const {
    return {textLabel_, text_, fontButton_, colorButton_, sample_, fontInUse_};
}

void CaptionPage::applyMasterRule() {
    const bool on = master_->isChecked();
    setControlsEnabled(followers(), on);
    position_->setActive(on);
    scale_->setActive(on);
}

void CaptionPage::showSample() {
    const QString caption = text_->toPlainText();
    sample_->setText(caption.isEmpty() ? text(kEmptyCaptionSample) : caption);
    fitSample();
}

bool CaptionPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sample_ && event->type() == QEvent::Resize) fitSample();
    return EditorPage::eventFilter(watched, event);
}

// The chosen font, scaled down as far as the sample's frame needs.
void CaptionPage::fitSample() {
    QFont font = sampleFont();
    // A little short of the frame, so that no stroke touches it.
    const QSize room = sample_->contentsRect().size() - QSize(2, 2) * (sample_->margin() + 2);
    const QSize needed = QFontMetrics(font)
                             .boundingRect(QRect(0, 0, 1 << 20, 1 << 20),
                                           Qt::AlignLeft | Qt::AlignTop, sample_->text())
                             .size();
    if (room.width() > 0 && room.height() > 0 && !needed.isEmpty()) {
        const double scale = std::min(
            {1.0, double(room.width()) / needed.width(), double(room.height()) / needed.height()});
        if (scale < 1.0) font.setPointSizeF(std::max(1.0, font.pointSizeF() * scale));
    }
    if (font != sample_->font()) sample_->setFont(font);
}

QFont CaptionPage::sampleFont() const {
    QFont font(QString::fromStdString(fontFields_.face.empty() ? kDefaultFace : fontFields_.face));
    const std::int32_t size = fontFields_.size > 0 ? fontFields_.size : kDefaultSize;
    font.setPointSizeF(size / 10.0);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(fontFields_.weight, 1, 1000)));
    font.setItalic(fontFields_.italic != 0);
    font.setUnderline(fontFields_.underline != 0);
    font.setStrikeOut(fontFields_.strikeOut != 0);
    return font;
}

// The sample is drawn in the face the system really uses, and says so when
// the chosen one is not installed.
void CaptionPage::showSampleFont() {
    const QFont font = sampleFont();
    fitSample();
    const QColor ink = colorOf(textColor_);
    QPalette palette = sample_->palette();
    palette.setColor(QPalette::WindowText, ink);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, ink.lighter(140));
    // Light captions on a dark ground, so that white text can be seen.
    palette.setColor(QPalette::Window, ink.lightnessF() > 0.6 ? QColor(70, 70, 70) : Qt::white);
    sample_->setPalette(palette);
    const QString used = QFontInfo(font).family();
    fontInUse_->setText(used.compare(font.family(), Qt::CaseInsensitive) == 0
                            ? QString()
                            : text("字体 %1 未安装，使用 %2。").arg(font.family(), used));
}

void CaptionPage::chooseFont() {
    const std::optional<QFont> chosen = frame().dialogs().chooseFont(this, sampleFont());
    if (!chosen) return;
    fontFields_.face = chosen->family().toStdString();
    fontFields_.size = tenthsOfPoint(*chosen);
    fontFields_.weight = chosen->weight();
    fontFields_.bold = flagOf(chosen->weight() == kBoldWeight);
    fontFields_.italic = flagOf(chosen->italic());
    fontFields_.underline = flagOf(chosen->underline());
    fontFields_.strikeOut = flagOf(chosen->strikeOut());
    fontFields_.charset = charsetForFamily(chosen->family(), fontFields_.charset);
    showSampleFont();
    frame().refreshPreview();
}

void CaptionPage::chooseColor() {
    const std::optional<QColor> chosen = frame().dialogs().chooseColor(this, colorOf(textColor_));
    if (!chosen) return;
    textColor_ = bgrOf(*chosen);
    showSampleFont();
    frame().refreshPreview();
}

void CaptionPage::load(const Scheme& scheme) {
    master_->setChecked(isOn(scheme.textEnabled));
    text_->setPlainText(QString::fromStdString(scheme.textContent));
    loadedText_ = scheme.textContent;
    shownText_ = text_->toPlainText();
    fontFields_ = {scheme.fontFace, scheme.fontSize,   scheme.fontCharset,   scheme.fontWeight,
                   scheme.fontBold, scheme.fontItalic, scheme.fontUnderline, scheme.fontStrikeOut};
    textColor_ = scheme.textColor;
    position_->showPosition(scheme.textPosX, scheme.textPosY);
    scale_->showShare(scheme.reservedInts[reservedSetting(ReservedSettingId::CaptionHeight).slot]);
    showSampleFont();
    applyMasterRule();
}

std::optional<FieldRefusal> CaptionPage::read(Scheme& scheme) const {
    if (auto refused = position_->refusal()) return refused;
    if (auto refused = scale_->refusal()) return refused;
    scheme.reservedInts[reservedSetting(ReservedSettingId::CaptionHeight).slot] = *scale_->share();
    scheme.textEnabled = flagOf(master_->isChecked());
    const QString caption = text_->toPlainText();
    scheme.textContent = caption == shownText_ ? loadedText_ : caption.toStdString();
    scheme.textPosX = static_cast<float>(position_->x());
    scheme.textPosY = static_cast<float>(position_->y());
    scheme.fontFace = fontFields_.face.empty() ? kDefaultFace : fontFields_.face;
    scheme.fontSize = fontFields_.size > 0 ? fontFields_.size : kDefaultSize;
    scheme.fontCharset = fontFields_.charset;
    scheme.fontWeight = fontFields_.weight;
    scheme.fontBold = fontFields_.bold;
    scheme.fontItalic = fontFields_.italic;
    scheme.fontUnderline = fontFields_.underline;
    scheme.fontStrikeOut = fontFields_.strikeOut;
    scheme.textColor = textColor_;
    return std::nullopt;
}

}  // namespace varnetto
