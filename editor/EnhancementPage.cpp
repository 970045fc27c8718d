#include "editor/EnhancementPage.h"

#include "editor/EditorArtwork.h"
#include "uikit/Utf8Text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnetto {

namespace {

// The channels (red, green, blue) each channel choice changes.
struct ChannelEntry {
    ChannelChoice choice;
    std::array<std::int32_t, 3> flags;
};
constexpr ChannelEntry kChannels[] = {
    {ChannelChoice::White, {1, 1, 1}},  {ChannelChoice::Red, {1, 0, 0}},
    {ChannelChoice::Green, {0, 1, 0}},  {ChannelChoice::Blue, {0, 0, 1}},
    {ChannelChoice::Yellow, {1, 1, 0}}, {ChannelChoice::Purple, {1, 0, 1}},
    {ChannelChoice::Cyan, {0, 1, 1}},
};

// Rotations by their buttons' ids: degrees clockwise, -90 stored as 270.
constexpr int kRotate90 = 90;
constexpr int kRotate180 = 180;
constexpr int kRotate270 = 270;
constexpr QSize kPictureButtonSize{30, 30};

}  // namespace

EnhancementPage::EnhancementPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("图像增强处理"), this);
    master_->setObjectName("enhanceEnabled");
    hint_ = new QLabel(text("提示：图像增强处理可能较慢，请勿频繁\n操作，或取消左下角的实时浏览。"),
                       this);
    hint_->setObjectName("enhanceHint");
    // Yellow on a dark ground, so that it can be read.
    hint_->setStyleSheet(QStringLiteral(
        "QLabel { color: rgb(255, 255, 0); background: rgb(80, 80, 80); padding: 3px; }"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    buildAmount(amounts_[kBrightness], grid, 0, "图像亮度值", "brightness", 0, 100, 50, true);
    buildAmount(amounts_[kContrast], grid, 1, "图像对比度", "contrast", 0, 100, 50, true);
    buildAmount(amounts_[kSharpen], grid, 2, "图像锐化值", "sharpen", 1, 10, 1, false);
    buildAmount(amounts_[kDespeckle], grid, 3, "图像除污", "despeckle", 1, 10, 1, false);
    grid->setColumnStretch(1, 1);

    rotate_ = new QCheckBox(text("图像旋转"), this);
    rotate_->setObjectName("rotateEnabled");
    rotations_ = new QButtonGroup(this);
    auto* rotateRow = new QHBoxLayout;
    rotateRow->addWidget(rotate_);
    rotateRow->addWidget(makePictureButton("90度", "rotate90", rotations_, kRotate90));
    rotateRow->addWidget(makePictureButton("180度", "rotate180", rotations_, kRotate180));
    rotateRow->addWidget(makePictureButton("-90度", "rotate270", rotations_, kRotate270));
    rotateRow->addSpacing(20);
    flip_ = new QCheckBox(text("图像翻转"), this);
    flip_->setObjectName("flipEnabled");
    flip_->setFocusPolicy(Qt::ClickFocus);
    flips_ = new QButtonGroup(this);
    rotateRow->addWidget(flip_);
    rotateRow->addWidget(
        makePictureButton("水平翻转", "flipHorizontal", flips_, stored(FlipDirection::Horizontal)));
    rotateRow->addWidget(
        makePictureButton("垂直翻转", "flipVertical", flips_, stored(FlipDirection::Vertical)));
    rotateRow->addStretch();
    redEye_ = new QCheckBox(text("消除红眼"), this);
    redEye_->setObjectName("redEyeEnabled");

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(6);
    column->addWidget(master_);
    column->addWidget(hint_);
    column->addLayout(grid);
    column->addLayout(rotateRow);
    column->addWidget(redEye_);
    column->addStretch();

    connect(master_, &QCheckBox::toggled, this, &EnhancementPage::applyMasterRule);
    for (const Amount& amount : amounts_) {
        connect(amount.check, &QCheckBox::toggled, this, [this, &amount] {
            applyAmountRule(amount);
            this->frame().refreshPreview();
        });
        // The slider sets the value once let go; the value moves the slider
        // and renders.
        connect(amount.slider, &QSlider::valueChanged, this, [&amount](int value) {
            if (!amount.slider->isSliderDown()) amount.value->setValue(value);
        });
        connect(amount.slider, &QSlider::sliderReleased, this,
                [&amount] { amount.value->setValue(amount.slider->value()); });
        connect(amount.value, &QSpinBox::valueChanged, this, [this, &amount](int value) {
            amount.slider->setValue(value);
            this->frame().refreshPreview();
        });
        if (amount.channel) {
            connect(amount.channel, &QComboBox::currentIndexChanged, this,
                    [this] { this->frame().refreshPreview(); });
        }
    }
    connect(redEye_, &QCheckBox::toggled, this, [this] { this->frame().refreshPreview(); });
    connect(rotate_, &QCheckBox::toggled, this, [this] {
        applyRotationRule();
        this->frame().refreshPreview();
    });
    connect(rotations_, &QButtonGroup::idClicked, this, [this](int degrees) {
        chosenAngle_ = static_cast<float>(degrees);
        this->frame().refreshPreview();
    });
    connect(flip_, &QCheckBox::toggled, this, [this] {
        applyFlipRule();
        this->frame().refreshPreview();
    });
    connect(flips_, &QButtonGroup::idClicked, this, [this](int direction) {
        chosenFlip_ = direction;
        this->frame().refreshPreview();
    });
    applyMasterRule();
}

void EnhancementPage::buildAmount(Amount& amount, QGridLayout* grid, int row, const char* name,
                                  const char* objectName, int minimum, int maximum, int initial,
                                  bool withChannel) {
    const QString base = QString::fromLatin1(objectName);
    amount.check = new QCheckBox(text(name), this);
    amount.check->setObjectName(base + "Enabled");
    amount.slider = new QSlider(Qt::Horizontal, this);
    amount.slider->setObjectName(base + "Slider");
    amount.slider->setRange(minimum, maximum);
    amount.slider->setValue(initial);
    amount.slider->setAccessibleName(text(name));
    amount.value = new QSpinBox(this);
    amount.value->setObjectName(base + "Value");
    amount.value->setRange(minimum, maximum);
    amount.value->setValue(initial);
    amount.value->setAccessibleName(text(name));
    amount.loadedValue = initial;
    amount.shownValue = initial;
    grid->addWidget(amount.check, row, 0);
    grid->addWidget(amount.slider, row, 1);
    grid->addWidget(amount.value, row, 2);
    if (!withChannel) return;
    amount.channel = new CodedList(this);
    amount.channel->setObjectName(base + "Channel");
    for (const auto& [choice, name] : channelNames)
        amount.channel->addCoded(text(name), stored(choice));
    amount.channel->showCode(stored(ChannelChoice::White));
    amount.channel->setToolTip(text("%1的颜色通道").arg(text(name)));
    grid->addWidget(amount.channel, row, 3);
}

QToolButton* EnhancementPage::makePictureButton(const char* tip, const char* objectName,
                                                QButtonGroup* group, int id) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setToolTip(text(tip));
    button->setAccessibleName(text(tip));
    button->setCheckable(true);
    button->setFixedSize(kPictureButtonSize);
    button->setIconSize(kPictureButtonSize - QSize(6, 6));
    group->addButton(button, id);
    return button;
}

QString EnhancementPage::title() const {
    return text("图像增强");
}

void EnhancementPage::applyMasterRule() {
    {
        RefreshPause pause(frame());
        const bool on = master_->isChecked();
        std::vector<QWidget*> others{hint_, rotate_, flip_, redEye_};
        for (const Amount& amount : amounts_) {
            others.insert(others.end(), {amount.check, amount.slider, amount.value});
            if (amount.channel) others.push_back(amount.channel);
        }
        for (QButtonGroup* group : {rotations_, flips_}) {
            for (QAbstractButton* button : group->buttons()) others.push_back(button);
        }
        setControlsEnabled(others, on);
        if (on) {
            for (const Amount& amount : amounts_) applyAmountRule(amount);
            applyRotationRule();
            applyFlipRule();
        } else {
            for (QButtonGroup* group : {rotations_, flips_}) {
                for (QAbstractButton* button : group->buttons()) button->setIcon(QIcon());
            }
        }
    }
    frame().refreshPreview();
}

void EnhancementPage::applyAmountRule(const Amount& amount) {
    std::vector<QWidget*> controls{amount.slider, amount.value};
    if (amount.channel) controls.push_back(amount.channel);
    setControlsEnabled(controls, master_->isChecked() && amount.check->isChecked());
}

void EnhancementPage::applyRotationRule() {
    const bool on = master_->isChecked() && rotate_->isChecked();
    const std::pair<int, int> pictures[] = {{kRotate90, 90}, {kRotate180, 180}, {kRotate270, -90}};
    for (const auto& [id, degrees] : pictures) {
        QAbstractButton* button = rotations_->button(id);
        button->setEnabled(on);
        button->setIcon(on ? editorArtwork::rotation(degrees) : QIcon());
    }
}

void EnhancementPage::applyFlipRule() {
    const bool on = master_->isChecked() && flip_->isChecked();
    for (const FlipDirection direction : {FlipDirection::Horizontal, FlipDirection::Vertical}) {
        QAbstractButton* button = flips_->button(stored(direction));
        button->setEnabled(on);
        button->setIcon(on ? editorArtwork::flip(direction) : QIcon());
    }
}

void EnhancementPage::clearChoice(QButtonGroup* group) {
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) button->setChecked(false);
    group->setExclusive(true);
}

void EnhancementPage::load(const Scheme& scheme) {
    const QSignalBlocker quiet(master_);
    master_->setChecked(isOn(scheme.enhanceEnabled));
    const std::int32_t enabled[] = {scheme.brightnessEnabled, scheme.contrastEnabled,
                                    scheme.sharpenEnabled, scheme.despeckleEnabled};
    const std::int32_t values[] = {scheme.brightnessValue, scheme.contrastValue,
                                   scheme.sharpenValue, scheme.despeckleValue};
    for (size_t i = 0; i < amounts_.size(); ++i) {
        Amount& amount = amounts_[i];
        const QSignalBlocker quietCheck(amount.check);
        amount.check->setChecked(isOn(enabled[i]));
        amount.value->setValue(values[i]);
        amount.loadedValue = values[i];
        amount.shownValue = amount.value->value();
    }
    amounts_[kBrightness].channel->showCode(scheme.brightnessChannel);
    amounts_[kBrightness].loadedFlags = {scheme.brightnessRed, scheme.brightnessGreen,
                                         scheme.brightnessBlue};
    amounts_[kContrast].channel->showCode(scheme.contrastChannel);
    amounts_[kContrast].loadedFlags = {scheme.contrastRed, scheme.contrastGreen,
                                       scheme.contrastBlue};
    for (QCheckBox* check : {rotate_, flip_, redEye_}) check->blockSignals(true);
    rotate_->setChecked(isOn(scheme.rotateEnabled));
    flip_->setChecked(isOn(scheme.flipEnabled));
    redEye_->setChecked(isOn(scheme.redEyeEnabled));
    for (QCheckBox* check : {rotate_, flip_, redEye_}) check->blockSignals(false);
    chosenAngle_ = scheme.rotateAngle;
    chosenFlip_ = scheme.flipDirection;
    // The stored choices are kept, but no button shows as pressed.
    clearChoice(rotations_);
    clearChoice(flips_);
    applyMasterRule();
}

void EnhancementPage::readAmount(const Amount& amount, std::int32_t& enabled,
                                 std::int32_t& value) const {
    enabled = flagOf(amount.check->isChecked());
    value = amount.value->value() == amount.shownValue ? amount.loadedValue : amount.value->value();
}

void EnhancementPage::readChannel(const Amount& amount, std::int32_t& channel,
                                  std::array<std::int32_t*, 3> flags) const {
    channel = amount.channel->code();
    std::array<std::int32_t, 3> chosen = amount.loadedFlags;
    for (const ChannelEntry& entry : kChannels) {
        if (stored(entry.choice) == channel) chosen = entry.flags;
    }
    for (size_t i = 0; i < flags.size(); ++i) *flags[i] = chosen[i];
}

std::optional<FieldRefusal> EnhancementPage::read(Scheme& scheme) const {
    scheme.enhanceEnabled = flagOf(master_->isChecked());
    readAmount(amounts_[kBrightness], scheme.brightnessEnabled, scheme.brightnessValue);
    readChannel(amounts_[kBrightness], scheme.brightnessChannel,
                {&scheme.brightnessRed, &scheme.brightnessGreen, &scheme.brightnessBlue});
    readAmount(amounts_[kContrast], scheme.contrastEnabled, scheme.contrastValue);
    readChannel(amounts_[kContrast], scheme.contrastChannel,
                {&scheme.contrastRed, &scheme.contrastGreen, &scheme.contrastBlue});
    readAmount(amounts_[kSharpen], scheme.sharpenEnabled, scheme.sharpenValue);
    readAmount(amounts_[kDespeckle], scheme.despeckleEnabled, scheme.despeckleValue);
    scheme.redEyeEnabled = flagOf(redEye_->isChecked());
    const bool rotate = rotate_->isChecked();
    scheme.rotateEnabled = flagOf(rotate);
    scheme.rotateAngle = rotate ? chosenAngle_ : 0.0f;
    const bool flip = flip_->isChecked();
    scheme.flipEnabled = flagOf(flip && chosenFlip_ != stored(FlipDirection::None));
    scheme.flipDirection = flip ? chosenFlip_ : stored(FlipDirection::None);
    return std::nullopt;
}

}  // namespace varnetto
