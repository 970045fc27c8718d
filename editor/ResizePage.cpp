#include "editor/ResizePage.h"

#include "schemes/ReservedSettings.h"
#include "uikit/Utf8Text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace varnetto {

namespace {

// Resize values: percent, pixels or kilobytes.
constexpr std::int64_t kLargestResizeValue = 100000;

struct ModeText {
    ResizeMode mode;
    const char* radio;
    const char* label;
    const char* field;
    const char* unit;
    int initial;
    const char* objectName;
};

constexpr std::array<ModeText, 3> kModes{{
    {ResizeMode::Percent, "宽和高同时按比例缩放", "缩放比例：", "缩放比例", "％", 50,
     "resizePercent"},
    {ResizeMode::Width, "设定宽度象素数", "宽度象素数：", "宽度象素数", "Pixel", 800,
     "resizeWidth"},
    {ResizeMode::Height, "设定高度象素数", "高度象素数：", "高度象素数", "Pixel", 600,
     "resizeHeight"},
}};

constexpr std::int32_t kInitialLimitKb = 100;

}  // namespace

ResizePage::ResizePage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("调整图像大小"), this);
    master_->setObjectName("resizeEnabled");

    auto* group = new QGroupBox(text("图像调整大小类型和调整参数"), this);
    group->setObjectName("resizeModes");
    modeBox_ = group;
    buildModes(group);

    includesBorder_ = new QCheckBox(text("包括对边框的处理"), this);
    includesBorder_->setObjectName("resizeIncludesBorder");
    resample_ = new QCheckBox(text("重新采样"), this);
    resample_->setObjectName("resampleEnabled");

    qualitySlider_ = new QSlider(Qt::Horizontal, this);
    qualitySlider_->setObjectName("jpegQualitySlider");
    qualitySlider_->setRange(1, 100);
    qualitySlider_->setValue(90);
    qualitySlider_->setAccessibleName(text("JPEG压缩质量"));
    quality_ = new QSpinBox(this);
    quality_->setObjectName("jpegQuality");
    quality_->setRange(1, 100);
    quality_->setValue(90);
    qualityLabel_ = makeLabel("JPEG压缩质量：", this, quality_);

    filter_ = new CodedList(this);
    filter_->setObjectName("resampleFilter");
    filter_->addCoded(QStringLiteral("Bilinear"), stored(ResampleFilter::Bilinear));
    filter_->addCoded(QStringLiteral("Hermite"), stored(ResampleFilter::Hermite));
    filter_->addCoded(QStringLiteral("Bell"), stored(ResampleFilter::Bell));
    filter_->addCoded(QStringLiteral("Spline"), stored(ResampleFilter::Spline));
    filter_->addCoded(QStringLiteral("Lanczos"), stored(ResampleFilter::Lanczos));
    filter_->addCoded(QStringLiteral("Mitchell"), stored(ResampleFilter::Mitchell));
    filter_->setCurrentIndex(0);
    filterLabel_ = makeLabel("过滤器：", this, filter_);

    tiff_ = new CodedList(this);
    tiff_->setObjectName("tiffCompression");
    tiff_->addCoded(QStringLiteral("None"), stored(TiffCompression::None));
    tiff_->addCoded(QStringLiteral("PackBits"), stored(TiffCompression::PackBits));
    tiff_->addCoded(QStringLiteral("Group4"), stored(TiffCompression::Group4));
    tiff_->setCurrentIndex(0);
    tiffLabel_ = makeLabel("压缩方法：", this, tiff_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(5);
    column->addWidget(master_);
    column->addWidget(group);
    column->addLayout(leftAlignedRow({includesBorder_, resample_}));
    auto* settings = new QGridLayout;
    settings->addWidget(qualityLabel_, 0, 0);
    settings->addWidget(qualitySlider_, 0, 1);
    settings->addWidget(quality_, 0, 2);
    settings->addWidget(filterLabel_, 1, 0);
    settings->addWidget(filter_, 1, 1);
    settings->addWidget(tiffLabel_, 2, 0);
    settings->addWidget(tiff_, 2, 1);
    settings->setColumnStretch(1, 1);
    column->addLayout(settings);
    column->addStretch();

    // The quality's three faces follow one another; none renders the
    // preview, as the quality only matters when a file is written.
    connect(limited_, &QCheckBox::toggled, this, &ResizePage::applyLimitRule);
    connect(qualitySlider_, &QSlider::valueChanged, quality_, &QSpinBox::setValue);
    connect(quality_, &QSpinBox::valueChanged, qualitySlider_, &QSlider::setValue);
    connect(master_, &QCheckBox::toggled, this, [this] {
        applyMasterRule();
        this->frame().refreshPreview();
    });
    for (const ModeRow& row : modes_) {
        connect(row.radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on && master_->isChecked()) applyModeRules();
        });
    }
    applyMasterRule();
}

void ResizePage::buildModes(QWidget* group) {
    modeGroup_ = new QButtonGroup(this);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    for (size_t i = 0; i < kModes.size(); ++i) {
        const ModeText& mode = kModes[i];
        ModeRow& row = modes_[i];
        row.radio = new QRadioButton(text(mode.radio), group);
        row.radio->setObjectName(QString::fromLatin1(mode.objectName) + "Mode");
        modeGroup_->addButton(row.radio, stored(mode.mode));
        row.value = new WholeNumberEdit(text(mode.field), 1, kLargestResizeValue, group);
        row.value->setObjectName(QString::fromLatin1(mode.objectName));
        row.value->setFixedWidth(70);
        row.value->setText(QString::number(mode.initial));
        row.label = makeLabel(mode.label, group, row.value);
        row.label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row.unit = new QLabel(text(mode.unit), group);
        const int r = static_cast<int>(i);
        grid->addWidget(row.radio, r, 0);
        grid->addWidget(row.label, r, 1);
        grid->addWidget(row.value, r, 2);
        grid->addWidget(row.unit, r, 3);
    }
    buildSizeLimit(grid, group);
    grid->setColumnStretch(1, 1);
}

void ResizePage::buildSizeLimit(QGridLayout* grid, QWidget* group) {
    limited_ = new QCheckBox(text("设定图像文件大小最大值"), group);
    limited_->setObjectName("fileSizeLimited");
    limit_ = new WholeNumberEdit(text("文件最大值"), 1, kLargestSizeLimitKb, group);
    limit_->setObjectName("fileSizeLimit");
    limit_->setFixedWidth(70);
    limit_->setText(QString::number(kInitialLimitKb));
    limitLabel_ = makeLabel("文件最大值：", group, limit_);
    limitLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    limitUnit_ = new QLabel(QStringLiteral("K"), group);
    limitNote_ = new QLabel(text("只用于 JPG/JPEG、WebP 和 AVIF 文件，其他格式忽略此项"), group);
    limitNote_->setObjectName("fileSizeLimitNote");
    limitNote_->setWordWrap(true);
    const int r = grid->rowCount();
    grid->addWidget(limited_, r, 0);
    grid->addWidget(limitLabel_, r, 1);
    grid->addWidget(limit_, r, 2);
    grid->addWidget(limitUnit_, r, 3);
    grid->addWidget(limitNote_, r + 1, 0, 1, 4);
}

// Files are kept under the limit whether or not the picture is resized, as
// the quality is: the box stays usable while resizing is off.
void ResizePage::applyLimitRule() {
    setControlsEnabled({limitLabel_, limit_, limitUnit_}, limited_->isChecked());
}

QString ResizePage::title() const {
    return text("调整大小");
}

std::vector<QWidget*> ResizePage::followers() const {
    std::vector<QWidget*> controls;
    for (const ModeRow& row : modes_) {
        controls.insert(controls.end(), {row.radio, row.label, row.value, row.unit});
    }
    // The quality and the TIFF compression apply to every file written, with
    // or without resizing: they stay usable.
    controls.insert(controls.end(), {includesBorder_, resample_, filterLabel_, filter_});
    return controls;
}

void ResizePage::applyMasterRule() {
    setControlsEnabled(followers(), master_->isChecked());
    if (master_->isChecked()) applyModeRules();
    // The border option is kept as stored; it cannot be chosen here.
    includesBorder_->setEnabled(false);
    applyLimitRule();
}

void ResizePage::applyModeRules() {
    const ModeRow* chosen = nullptr;
    for (const ModeRow& row : modes_) {
        if (row.radio->isChecked()) chosen = &row;
    }
    if (!chosen) return;
    for (const ModeRow& row : modes_) {
        setControlsEnabled({row.label, row.value, row.unit}, &row == chosen);
    }
}

void ResizePage::load(const Scheme& scheme) {
    master_->setChecked(isOn(scheme.resizeEnabled));
    modeGroup_->setExclusive(false);
    for (ModeRow& row : modes_) row.radio->setChecked(false);
    modeGroup_->setExclusive(true);
    for (size_t i = 0; i < kModes.size(); ++i) {
        if (scheme.resizeMode == stored(kModes[i].mode)) {
            modes_[i].radio->setChecked(true);
            modes_[i].value->showNumber(scheme.resizeValue);
        }
    }
    // A limit shown from a scheme reads back as stored while untouched.
    loadedLimit_ = scheme.reservedInts[reservedSetting(ReservedSettingId::FileSizeLimit).slot];
    limited_->setChecked(loadedLimit_ != 0);
    if (loadedLimit_ != 0) limit_->showNumber(loadedLimit_);
    includesBorder_->setChecked(isOn(scheme.resizeIncludesBorder));
    resample_->setChecked(isOn(scheme.resampleEnabled));
    quality_->setValue(scheme.jpegQuality);
    loadedQuality_ = scheme.jpegQuality;
    shownQuality_ = quality_->value();
    filter_->showCode(scheme.resampleFilter);
    tiff_->showCode(scheme.tiffCompression);
    applyMasterRule();
}

std::optional<FieldRefusal> ResizePage::read(Scheme& scheme) const {
    scheme.resizeEnabled = flagOf(master_->isChecked());
    const auto chosen = std::find_if(modes_.begin(), modes_.end(),
                                     [](const ModeRow& row) { return row.radio->isChecked(); });
    if (chosen != modes_.end()) {
        const std::optional<std::int32_t> value = chosen->value->number();
        if (!value) return chosen->value->refusal();
        scheme.resizeMode = modeGroup_->id(chosen->radio);
        scheme.resizeValue = *value;
    } else if (scheme.resizeMode != stored(ResizeMode::FileSize)) {
        // Fixed sizes (and unknown modes) have no radio: the mode stays.
        scheme.resizeValue = 100;
    }
    // The file-size mode of older schemes changes nothing; it keeps its
    // mode and value as stored.
    std::int32_t& limit =
        scheme.reservedInts[reservedSetting(ReservedSettingId::FileSizeLimit).slot];
    if (!limited_->isChecked()) {
        limit = 0;
    } else if (const std::optional<std::int32_t> kb = limit_->number()) {
        limit = *kb;
    } else {
        return limit_->refusal();
    }
    scheme.resizeIncludesBorder = flagOf(includesBorder_->isChecked());
    scheme.resampleEnabled = flagOf(resample_->isChecked());
    if (!quality_->hasAcceptableInput())
        return FieldRefusal{quality_, text("JPEG压缩质量: 请输入 1 到 100 之间的整数。")};
    scheme.jpegQuality = quality_->value() == shownQuality_ ? loadedQuality_ : quality_->value();
    scheme.resampleFilter = filter_->code();
    scheme.tiffCompression = tiff_->code();
    return std::nullopt;
}

}  // namespace varnetto
