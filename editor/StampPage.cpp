#include "editor/StampPage.h"

#include "common/RegularFile.h"
#include "editor/DecorationFolders.h"
#include "editor/PictureBox.h"
#include "editor/PositionRow.h"
#include "editor/ScaleRow.h"
#include "schemes/ReservedSettings.h"
#include "uikit/SchemePreviewService.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace varnetto {

namespace {

const char* const kStampFilter = "BMP 图像文件(*.bmp) (*.bmp);;所有文件(*.*) (*)";
constexpr QSize kPreviewSize{160, 120};
constexpr int kFileRole = Qt::UserRole + 1;
// The stamp's width offered when it first follows the picture's size.
constexpr std::int32_t kInitialWidthShare = 2000;

}  // namespace

StampPage::StampPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("添加印章"), this);
    master_->setObjectName("stampEnabled");
    list_ = new QComboBox(this);
    list_->setObjectName("stampName");
    list_->setMinimumWidth(150);
    nameLabel_ = makeLabel("印章名称：", this, list_);
    pathEdit_ = makeTextEdit(this, "stampPath");
    pathEdit_->setReadOnly(true);
    pathEdit_->setToolTip(text("印章图像文件"));
    pathEdit_->setAccessibleName(pathEdit_->toolTip());
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName("chooseStampFile");
    browse_->setFixedWidth(30);
    browse_->setAutoDefault(false);
    browse_->setToolTip(text("选择印章图像文件"));
    browse_->setAccessibleName(browse_->toolTip());
    position_ =
        new PositionRow(frame, PositionPick::StampPosition, "印章", "stamp", 0.5, 0.5, this);
    scale_ = new ScaleRow("宽度", "stamp", kInitialWidthShare, this);
    previewGroup_ = makePreviewGroup("印章预览", kPreviewSize, "stampPreview", this, preview_);
    fillStampList();
    buildLayout();
    renders_.setObjectName("stampPreviewRenders");
    renders_.setParent(this);

    connect(master_, &QCheckBox::toggled, this, &StampPage::applyMasterRule);
    connect(list_, &QComboBox::currentIndexChanged, this, &StampPage::applySelectionRule);
    connect(browse_, &QPushButton::clicked, this, &StampPage::chooseFile);
    connect(position_, &PositionRow::moved, this, [this] { this->frame().refreshPreview(); });
    connect(scale_, &ScaleRow::changed, this, [this] { this->frame().refreshPreview(); });
    applyMasterRule();
}

void StampPage::buildLayout() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);
    column->addWidget(master_);
    column->addLayout(leftAlignedRow({nameLabel_, list_}));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(pathEdit_, 1);
    fileRow->addWidget(browse_);
    column->addLayout(fileRow);
    column->addWidget(position_);
    column->addWidget(scale_);
    column->addLayout(leftAlignedRow({previewGroup_}));
    column->addStretch();
}

QString StampPage::title() const {
    return text("添加印章");
}

void StampPage::fillStampList() {
    const QSignalBlocker quiet(list_);
    for (const StampFile& stamp : stampFiles(frame().appFolder())) {
        list_->addItem(QString::fromStdString(stamp.name), stamp.code);
        list_->setItemData(list_->count() - 1, QString::fromStdString(stamp.fileName), kFileRole);
    }
    list_->addItem(text(kCustomDecorationItem), stored(DecorationKind::Custom));
    list_->setCurrentIndex(0);
}

bool StampPage::customSelected() const {
    return list_->currentIndex() == customIndex();
}

int StampPage::findStamp(const std::string& name, const std::string& file) const {
    const QString wanted = QString::fromStdString(name);
    int byName = -1;
    for (int i = 0; i < customIndex(); ++i) {
        if (list_->itemText(i) != wanted) continue;
        // Of two stamps of one name (a BMP and a JPG), the one stored.
        if (list_->itemData(i, kFileRole).toString().toStdString() == file) return i;
        if (byName < 0) byName = i;
    }
    return byName;
}

void StampPage::applyMasterRule() {
    const bool on = master_->isChecked();
    // The path is only ever chosen, never typed: it stays read-only.
    setControlsEnabled({nameLabel_, list_, browse_, previewGroup_, preview_}, on);
    pathEdit_->setEnabled(on);
    position_->setActive(on);
    scale_->setActive(on);
    if (!on) {
        ++generation_;
        preview_->showPicture(QImage());
        frame().refreshPreview();
        return;
    }
    applySelectionRule();
    // A file of one's own is shown as soon as the stamp is switched on.
    if (customSelected()) {
        showStampPreview();
        frame().refreshPreview();
    }
}

void StampPage::applySelectionRule() {
    const bool custom = customSelected();
    const bool choosing = master_->isChecked() && custom;
    browse_->setEnabled(choosing);
    pathEdit_->setEnabled(choosing);
    pathEdit_->setText(QString::fromStdString(path_));
    // Choosing a file of one's own keeps the stamp until a file is chosen.
    if (list_->currentIndex() < 0 || custom) return;
    const int index = list_->currentIndex();
    name_ = list_->itemText(index).toStdString();
    file_ = list_->itemData(index, kFileRole).toString().toStdString();
    path_ = namedStampPath(file_, frame().appFolder());
    pathEdit_->setText(QString::fromStdString(path_));
    showStampPreview();
    frame().refreshPreview();
}

void StampPage::chooseFile() {
    const QString path =
        frame().dialogs().chooseOpenFile(this, text(kStampFilter), QStringLiteral("*.bmp"));
    if (path.isEmpty()) return;
    pathEdit_->setText(path);
    path_ = path.toStdString();
    name_ = list_->currentText().toStdString();
    showStampPreview();
    frame().refreshPreview();
}

void StampPage::showStampPreview() {
    const int generation = ++generation_;
    if (!isRegularFile(path_)) {
        preview_->showPicture(QImage());
        frame().reportOnce(text("印章图像 %1 不存在。").arg(QString::fromStdString(path_)));
        return;
    }
    PreviewRequest stamp;
    stamp.sourcePath = path_;
    stamp.boxWidth = preview_->contentsSize().width();
    stamp.boxHeight = preview_->contentsSize().height();
    frame().previews().render(renders_, std::move(stamp),
                              [this, generation](const ShownPreview& shown) {
                                  if (generation != generation_) return;
                                  preview_->showPicture(shown.picture);
                                  if (!shown.drawn()) frame().reportOnce(shown.failure);
                              });
}

void StampPage::load(const Scheme& scheme) {
    const QSignalBlocker quietMaster(master_);
    const QSignalBlocker quietList(list_);
    master_->setChecked(isOn(scheme.stampEnabled));
    name_ = scheme.stampName;
    file_ = scheme.stampFile;
    path_ = scheme.stampPath;
    int index = customIndex();
    if (scheme.stampKind != stored(DecorationKind::Custom)) {
        index = findStamp(scheme.stampName, scheme.stampFile);
        // No name: the list keeps what it shows, so that switching the stamp
        // on draws a stamp rather than an empty path.
        if (index < 0 && scheme.stampName.empty()) index = std::max(list_->currentIndex(), 0);
        if (index < 0 && !scheme.stampName.empty()) {
            frame().reportOnce(
                text("印章图像 %1 不存在！").arg(QString::fromStdString(scheme.stampName)));
            if (customIndex() > 0) index = 0;
        }
    }
    list_->setCurrentIndex(index);
    if (index >= 0 && !customSelected()) {
        name_ = list_->itemText(index).toStdString();
        file_ = list_->itemData(index, kFileRole).toString().toStdString();
        path_ = namedStampPath(file_, frame().appFolder());
    }
    pathEdit_->setText(QString::fromStdString(path_));
    position_->showPosition(scheme.stampPosX, scheme.stampPosY);
    scale_->showShare(scheme.reservedInts[reservedSetting(ReservedSettingId::StampWidth).slot]);
    loaded_ = {
        scheme.stampName, scheme.stampFile, scheme.stampPath, scheme.stampKind, index, path_};
    applyMasterRule();
}

std::optional<FieldRefusal> StampPage::read(Scheme& scheme) const {
    if (auto refused = position_->refusal()) return refused;
    if (auto refused = scale_->refusal()) return refused;
    scheme.reservedInts[reservedSetting(ReservedSettingId::StampWidth).slot] = *scale_->share();
    scheme.stampEnabled = flagOf(master_->isChecked());
    const int index = list_->currentIndex();
    // A scheme that names no stamp keeps naming none while its stamp stays
    // off and the list as opened.
    const bool untouched = loaded_.name.empty() && !master_->isChecked() &&
                           index == loaded_.index && path_ == loaded_.shownPath;
    if (index < 0 || untouched) {
        // No stamp was shown for the stored name: it stays as it was.
        scheme.stampName = loaded_.name;
        scheme.stampFile = loaded_.file;
        scheme.stampPath = loaded_.path;
        scheme.stampKind = loaded_.kind;
    } else {
        scheme.stampName = list_->currentText().toStdString();
        scheme.stampFile = file_;
        scheme.stampKind =
            customSelected() ? stored(DecorationKind::Custom) : stored(DecorationKind::Named);
        // A listed stamp is found by its file name; the path stored with it
        // stays as it was while the choice is unchanged.
        const bool unchanged = index == loaded_.index && path_ == loaded_.shownPath &&
                               scheme.stampName == loaded_.name && file_ == loaded_.file;
        scheme.stampPath = unchanged && !customSelected() ? loaded_.path : path_;
    }
    scheme.stampPosX = static_cast<float>(position_->x());
    scheme.stampPosY = static_cast<float>(position_->y());
    return std::nullopt;
}

}  // namespace varnetto
