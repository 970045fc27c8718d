#include "editor/StampPage.h"

#include "editor/DecorationFolders.h"
#include "editor/EditorArtwork.h"
#include "editor/PictureBox.h"
#include "imaging/FitToBox.h"
#include "uikit/QtImage.h"
#include "uikit/UserDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <filesystem>

namespace varnetto {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const kCustomItem = "自定义...";
const char* const kStampFilter = "BMP 图像文件(*.bmp) (*.bmp);;所有文件(*.*) (*)";
constexpr QSize kPreviewSize{160, 120};
constexpr QSize kPickButtonSize{30, 30};
constexpr int kFileRole = Qt::UserRole + 1;

bool isFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

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
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName("chooseStampFile");
    browse_->setFixedWidth(30);
    browse_->setAutoDefault(false);
    browse_->setToolTip(text("选择印章图像文件"));
    browse_->setAccessibleName(browse_->toolTip());
    pick_ = new QPushButton(this);
    pick_->setObjectName("pickStampPosition");
    pick_->setFlat(true);
    pick_->setFixedSize(kPickButtonSize);
    pick_->setIconSize(kPickButtonSize - QSize(6, 6));
    pick_->setToolTip(text("点击预览图像获取印章位置"));
    pickLabel_ = makeLabel("点击预览图像\n获取印章位置", this);
    x_ = new PercentEdit(text("X(％)"), this);
    x_->setObjectName("stampPosX");
    x_->setFixedWidth(60);
    x_->showFraction(posX_);
    xLabel_ = makeLabel("X(％)：", this, x_);
    y_ = new PercentEdit(text("Y(％)"), this);
    y_->setObjectName("stampPosY");
    y_->setFixedWidth(60);
    y_->showFraction(posY_);
    yLabel_ = makeLabel("Y(％)：", this, y_);
    previewGroup_ = new QGroupBox(text("印章预览"), this);
    preview_ = new PictureBox(kPreviewSize, previewGroup_);
    preview_->setObjectName("stampPreview");
    fillStampList();
    buildLayout();

    connect(master_, &QCheckBox::toggled, this, &StampPage::applyMasterRule);
    connect(list_, &QComboBox::currentIndexChanged, this, &StampPage::applySelectionRule);
    connect(browse_, &QPushButton::clicked, this, &StampPage::chooseFile);
    connect(pick_, &QPushButton::clicked, this, &StampPage::pickPosition);
    connect(x_, &PercentEdit::fractionTyped, this, [this](double fraction) {
        posX_ = fraction;
        this->frame().refreshPreview();
    });
    connect(y_, &PercentEdit::fractionTyped, this, [this](double fraction) {
        posY_ = fraction;
        this->frame().refreshPreview();
    });
    applyMasterRule();
}

void StampPage::buildLayout() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);
    column->addWidget(master_);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel_);
    nameRow->addWidget(list_);
    nameRow->addStretch();
    column->addLayout(nameRow);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(pathEdit_, 1);
    fileRow->addWidget(browse_);
    column->addLayout(fileRow);
    auto* position = new QHBoxLayout;
    position->addWidget(pickLabel_);
    position->addWidget(pick_);
    position->addSpacing(15);
    position->addWidget(xLabel_);
    position->addWidget(x_);
    position->addSpacing(10);
    position->addWidget(yLabel_);
    position->addWidget(y_);
    position->addStretch();
    column->addLayout(position);
    auto* group = new QVBoxLayout(previewGroup_);
    group->addWidget(preview_, 0, Qt::AlignCenter);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(previewGroup_);
    groupRow->addStretch();
    column->addLayout(groupRow);
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
    list_->addItem(text(kCustomItem), stored(DecorationKind::Custom));
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
    setControlsEnabled({nameLabel_, list_, pathEdit_, browse_, pickLabel_, pick_, xLabel_, x_,
                        yLabel_, y_, previewGroup_, preview_},
                       on);
    pathEdit_->setReadOnly(true);
    pick_->setIcon(on ? editorArtwork::pickPosition() : QIcon());
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
    setControlsEnabled({pathEdit_, browse_}, master_->isChecked() && custom);
    pathEdit_->setReadOnly(true);
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

void StampPage::pickPosition() {
    frame().armPositionPick(PositionPick::StampPosition, [this](double x, double y) {
        posX_ = x;
        posY_ = y;
        x_->showFraction(x);
        y_->showFraction(y);
        frame().refreshPreview();
    });
}

void StampPage::showStampPreview() {
    const int generation = ++generation_;
    if (!isFile(path_)) {
        preview_->showPicture(QImage());
        frame().reportOnce(text("印章图像 %1 不存在。").arg(QString::fromStdString(path_)));
        return;
    }
    const QSize box = preview_->contentsSize();
    worker_.submit([this, path = path_, box, generation](
                       const std::atomic<bool>& superseded) -> LatestRequestWorker::Completion {
        if (superseded) return {};
        QImage picture;
        QString failure;
        try {
            CImageBox control;
            control.LoadFromFile(path);
            const Bitmap stamp = control.GetBitmap();
            picture = toQImage(FitToBox(control, stamp, box.width(), box.height()));
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
        return [this, picture, failure, generation] {
            if (generation != generation_) return;
            preview_->showPicture(picture);
            if (!failure.isEmpty()) frame().reportOnce(failure);
        };
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
    posX_ = scheme.stampPosX;
    posY_ = scheme.stampPosY;
    x_->showFraction(posX_);
    y_->showFraction(posY_);
    loaded_ = {
        scheme.stampName, scheme.stampFile, scheme.stampPath, scheme.stampKind, index, path_};
    applyMasterRule();
}

std::optional<FieldRefusal> StampPage::read(Scheme& scheme) const {
    for (PercentEdit* edit : {x_, y_}) {
        if (!edit->untouched() && !edit->typedFraction()) return edit->refusal();
    }
    scheme.stampEnabled = flagOf(master_->isChecked());
    const int index = list_->currentIndex();
    if (index < 0) {
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
    scheme.stampPosX = static_cast<float>(posX_);
    scheme.stampPosY = static_cast<float>(posY_);
    return std::nullopt;
}

}  // namespace varnetto
