#include "editor/BorderPage.h"

#include "editor/BorderPiecesDialog.h"
#include "editor/DecorationFolders.h"
#include "editor/PictureBox.h"
#include "uikit/SchemePreviewService.h"
#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace varnetto {

namespace {

// As large as the editor's preview, whose picture size it shows.
constexpr QSize kPreviewSize{220, 165};

}  // namespace

BorderPage::BorderPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    master_ = new QCheckBox(text("添加边框"), this);
    master_->setObjectName("borderEnabled");
    list_ = new QComboBox(this);
    list_->setObjectName("borderName");
    list_->setMinimumWidth(150);
    nameLabel_ = makeLabel("边框名称：", this, list_);
    pieces_ = new QPushButton(text("边框图像文件"), this);
    pieces_->setObjectName("borderPieces");
    pieces_->setAutoDefault(false);
    adaptive_ = new QCheckBox(text("边框自适应"), this);
    adaptive_->setObjectName("borderAdaptive");
    adaptive_->setChecked(true);
    inner_ = new QCheckBox(text("边框内嵌"), this);
    inner_->setObjectName("borderInner");
    previewGroup_ = makePreviewGroup("边框预览", kPreviewSize, "borderPreview", this, preview_);
    fillSetList();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);
    column->addWidget(master_);
    column->addLayout(leftAlignedRow({nameLabel_, list_, pieces_}));
    column->addLayout(leftAlignedRow({adaptive_, inner_}));
    column->addLayout(leftAlignedRow({previewGroup_}));
    column->addStretch();

    renders_.setObjectName("borderPreviewRenders");
    renders_.setParent(this);
    connect(master_, &QCheckBox::toggled, this, &BorderPage::applyMasterRule);
    connect(list_, &QComboBox::currentIndexChanged, this, &BorderPage::applySelectionRule);
    for (QCheckBox* option : {adaptive_, inner_}) {
        connect(option, &QCheckBox::toggled, this, [this] {
            renderBorderPreview();
            this->frame().refreshPreview();
        });
    }
    connect(pieces_, &QPushButton::clicked, this, &BorderPage::choosePieces);
    applyMasterRule();
}

QString BorderPage::title() const {
    return text("添加边框");
}

void BorderPage::fillSetList() {
    const QSignalBlocker quiet(list_);
    const std::vector<std::string> sets = borderSetNames(frame().appFolder());
    for (const std::string& set : sets) {
        list_->addItem(QString::fromStdString(set), list_->count());
    }
    list_->addItem(text(kCustomDecorationItem), stored(DecorationKind::Custom));
    list_->setCurrentIndex(0);
}

bool BorderPage::customSelected() const {
    return list_->currentIndex() == customIndex();
}

std::array<std::string, 8> BorderPage::setPieces(const QString& set) const {
    Scheme named;
    named.borderName = set.toStdString();
    named.borderKind = stored(DecorationKind::Named);
    return borderPiecePathsOf(named, frame().appFolder());
}

void BorderPage::applyMasterRule() {
    const bool on = master_->isChecked();
    setControlsEnabled({nameLabel_, list_, pieces_, adaptive_, inner_, previewGroup_, preview_},
                       on);
    if (on) {
        applySelectionRule();
        // Pieces of one's own are drawn as soon as the border is switched on.
        if (customSelected()) {
            renderBorderPreview();
            frame().refreshPreview();
        }
    } else {
        frame().refreshPreview();
    }
}

void BorderPage::applySelectionRule() {
    pieces_->setEnabled(master_->isChecked() && customSelected());
    // Choosing one's own pieces keeps the paths until the pieces are chosen.
    if (list_->currentIndex() < 0 || customSelected()) return;
    paths_ = setPieces(list_->currentText());
    renderBorderPreview();
    frame().refreshPreview();
}

void BorderPage::choosePieces() {
    BorderPiecesDialog dialog(paths_, frame().dialogs(), this);
    if (dialog.exec() != 1) return;
    paths_ = dialog.pieces();
    renderBorderPreview();
    frame().refreshPreview();
}

void BorderPage::renderBorderPreview() {
    Scheme border;
    border.borderEnabled = 1;
    border.borderKind = stored(DecorationKind::Custom);
    border.borderPieceFiles = paths_;
    border.borderAdaptive = flagOf(adaptive_->isChecked());
    border.borderInner = flagOf(inner_->isChecked());
    PreviewRequest request;
    request.sourcePath = frame().sourcePath();
    request.scheme = border;
    request.boxWidth = preview_->contentsSize().width();
    request.boxHeight = preview_->contentsSize().height();
    // At the size the preview shows the picture, so the two compare; a
    // rotation is not shown here, so the picture keeps its own shape.
    request.sizedAsSource = true;
    frame().previews().render(renders_, std::move(request),
                              [this, generation = ++generation_](const ShownPreview& shown) {
                                  showBorderPreview(generation, shown);
                              });
}

void BorderPage::showBorderPreview(int generation, const ShownPreview& shown) {
    if (generation != generation_) return;
    if (!shown.picture.isNull()) preview_->showPicture(shown.picture);
    if (!shown.drawn()) frame().reportOnce(shown.failure);
}

void BorderPage::load(const Scheme& scheme) {
    const QSignalBlocker quietMaster(master_);
    const QSignalBlocker quietList(list_);
    const QSignalBlocker quietAdaptive(adaptive_);
    const QSignalBlocker quietInner(inner_);
    master_->setChecked(isOn(scheme.borderEnabled));
    paths_ = scheme.borderPieceFiles;
    int index = customIndex();
    if (scheme.borderKind != stored(DecorationKind::Custom)) {
        const QString name = QString::fromStdString(scheme.borderName);
        index = -1;
        for (int i = 0; i < customIndex(); ++i) {
            if (list_->itemText(i) == name) index = i;
        }
        // No name: the list keeps what it shows, so that switching the border
        // on draws a set rather than no pieces at all.
        if (index < 0 && name.isEmpty()) index = std::max(list_->currentIndex(), 0);
        if (index < 0 && !name.isEmpty()) {
            frame().reportOnce(text("边框 %1 不存在！").arg(name));
            if (customIndex() > 0) index = 0;
        }
    }
    list_->setCurrentIndex(index);
    if (index >= 0 && !customSelected()) paths_ = setPieces(list_->currentText());
    adaptive_->setChecked(isOn(scheme.borderAdaptive));
    inner_->setChecked(isOn(scheme.borderInner));
    loaded_ = {scheme.borderName, scheme.borderKind, scheme.borderPieceFiles, index, paths_};
    applyMasterRule();
    if (customSelected() && !master_->isChecked()) renderBorderPreview();
}

std::optional<FieldRefusal> BorderPage::read(Scheme& scheme) const {
    scheme.borderEnabled = flagOf(master_->isChecked());
    const int index = list_->currentIndex();
    // A scheme that names no border keeps naming none while its border stays
    // off and the list as opened.
    const bool untouched = loaded_.name.empty() && !master_->isChecked() &&
                           index == loaded_.index && paths_ == loaded_.shownPieces;
    if (index < 0 || untouched) {
        // No set was shown for the stored name: it stays as it was.
        scheme.borderName = loaded_.name;
        scheme.borderKind = loaded_.kind;
        scheme.borderPieceFiles = loaded_.pieces;
    } else {
        scheme.borderName = list_->currentText().toStdString();
        scheme.borderKind =
            customSelected() ? stored(DecorationKind::Custom) : stored(DecorationKind::Named);
        // A set's own pieces are found by its name; the paths stored with it
        // stay as they were while the choice is unchanged.
        const bool unchanged = index == loaded_.index && paths_ == loaded_.shownPieces &&
                               scheme.borderName == loaded_.name;
        scheme.borderPieceFiles = unchanged && !customSelected() ? loaded_.pieces : paths_;
    }
    scheme.borderAdaptive = flagOf(adaptive_->isChecked());
    scheme.borderInner = flagOf(inner_->isChecked());
    return std::nullopt;
}

}  // namespace varnetto
