#include "editor/SchemeEditorDialog.h"

#include "editor/BorderPage.h"
#include "editor/CaptionPage.h"
#include "editor/ConversionPage.h"
#include "editor/EditorControls.h"
#include "editor/EffectsPage.h"
#include "editor/EnhancementPage.h"
#include "editor/GeneralPage.h"
#include "editor/PictureBox.h"
#include "editor/ResizePage.h"
#include "editor/StampPage.h"
#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"
#include "uikit/DesktopTheme.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace varnetto {

namespace {

// The picture boxes are 4:3.
constexpr int kBoxHeight = 165;
constexpr QSize kBoxSize{kBoxHeight * 4 / 3, kBoxHeight};
constexpr int kButtonWidth = 80;

QPushButton* makeButton(const char* utf8, const char* objectName, QWidget* parent) {
    auto* button = new QPushButton(text(utf8), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFixedWidth(kButtonWidth);
    button->setAutoDefault(false);
    return button;
}

QString predictionText(const ResultPrediction& p) {
    if (!p.failure.empty()) return QString();
    QString line = text("输出：%1 × %2 像素，%3")
                       .arg(p.width)
                       .arg(p.height)
                       .arg(QString::fromStdString(p.fileName));
    if (p.bytes > 0) {
        line += text("，约 %1 KB").arg((p.bytes + 512) / 1024);
        if (p.quality > 0) line += text("（质量 %1）").arg(p.quality);
        if (!p.fits) line += text("，超出文件大小上限");
    }
    return line;
}

// Warnings read red on a light window, orange on a dark one.
constexpr QRgb kWarningOnLight = 0xBE1414;
constexpr QRgb kWarningOnDark = 0xFFA03C;

QPalette warningPalette(QPalette palette) {
    const QRgb warning = isDarkPalette(palette) ? kWarningOnDark : kWarningOnLight;
    palette.setColor(QPalette::WindowText, QColor(warning));
    return palette;
}

}  // namespace

SchemeEditorDialog::SchemeEditorDialog(EditorRequest request, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      request_(std::move(request)),
      dialogs_(dialogs),
      previews_(dialogs, this, request_.appFolder, request_.previewCache) {
    setObjectName("schemeEditor");
    setWindowIcon(artwork::windowIcon());
    const std::pair<BackgroundJobs*, const char*> jobs[] = {{&sourceJobs_, "sourcePicture"},
                                                            {&previewJobs_, "schemePreview"},
                                                            {&commandJobs_, "editorCommands"}};
    for (const auto& [owned, name] : jobs) {
        owned->setObjectName(QString::fromLatin1(name));
        // Found among the dialog's children; destroyed as members first.
        owned->setParent(this);
    }
    // Read while the pages are built.
    loadSource();
    buildFrame();
    buildPages();
    showPage(0);
    setModeTexts();
    showBusy();
    if (request_.mode != EditorMode::NewScheme && request_.scheme) {
        loadPages(*request_.scheme);
        refreshEnabled_ = true;
        refreshPreview();
    }
    refreshEnabled_ = true;
    nameControlsForAssistiveTools(this);
}

// The jobs go first: nothing is delivered to a dialog being destroyed.
SchemeEditorDialog::~SchemeEditorDialog() = default;

void SchemeEditorDialog::loadSource() {
    PreviewRequest source;
    source.sourcePath = request_.imagePath;
    source.boxWidth = kBoxSize.width();
    source.boxHeight = kBoxSize.height();
    previews_.render(sourceJobs_, std::move(source),
                     [this](const ShownPreview& shown) { showSource(shown); });
}

void SchemeEditorDialog::showSource(const ShownPreview& shown) {
    sourceShown_ = true;
    showBusy();
    if (shown.drawn()) {
        hasSource_ = true;
        fittedSource_ = shown.picture;
        originalBox_->showPicture(fittedSource_);
        previewBox_->showPicture(fittedSource_);
    } else {
        reportOnce(shown.failure);
    }
    Q_EMIT sourceShown();
    if (refreshWaiting_) {
        refreshWaiting_ = false;
        refreshPreview();
    }
}

void SchemeEditorDialog::buildFrame() {
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(makePreviewGroup("原图像", kBoxSize, "originalBox", this, originalBox_));
    boxes->addWidget(makePreviewGroup("预览", kBoxSize, "previewBox", this, previewBox_));
    prediction_ = new QLabel(this);
    prediction_->setObjectName("predictedResult");
    prediction_->setAccessibleName(text("预计输出"));
    prediction_->setWordWrap(true);
    prediction_->setFixedWidth(kBoxSize.width() + 20);
    boxes->addWidget(prediction_);
    fitWarning_ = new QLabel(this);
    fitWarning_->setObjectName("fitWarning");
    fitWarning_->setAccessibleName(text("超出图像范围"));
    fitWarning_->setWordWrap(true);
    fitWarning_->setFixedWidth(kBoxSize.width() + 20);
    fitWarning_->setPalette(warningPalette(fitWarning_->palette()));
    fitWarning_->hide();
    boxes->addWidget(fitWarning_);
    boxes->addStretch();

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("pages");
    // All seven tabs in view: the dialog is as wide as they need.
    tabs_->setUsesScrollButtons(false);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        pick_ = PositionPick::None;
        placePick_ = nullptr;
    });
    connect(previewBox_, &PictureBox::clicked, this, &SchemeEditorDialog::previewClicked);

    auto* top = new QHBoxLayout;
    top->addLayout(boxes);
    top->addWidget(tabs_, 1);

    auto* separator = new QFrame(this);
    separator->setObjectName("separator");
    separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    livePreview_ = new QCheckBox(text("实时预览"), this);
    livePreview_->setObjectName("livePreview");
    livePreview_->setChecked(true);
    connect(livePreview_, &QCheckBox::toggled, this, &SchemeEditorDialog::refreshPreview);
    fullScreen_ = makeButton("全屏预览", "fullScreenPreview", this);
    saveImage_ = makeButton("保存图像", "saveImage", this);
    save_ = makeButton("保存", "saveScheme", this);
    cancel_ = makeButton("取消", "cancel", this);
    connect(fullScreen_, &QPushButton::clicked, this, &SchemeEditorDialog::fullScreenPreview);
    connect(saveImage_, &QPushButton::clicked, this, &SchemeEditorDialog::saveImage);
    connect(save_, &QPushButton::clicked, this, &SchemeEditorDialog::saveScheme);
    connect(cancel_, &QPushButton::clicked, this, &SchemeEditorDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    buttons->addWidget(livePreview_);
    buttons->addStretch();
    buttons->addWidget(fullScreen_);
    buttons->addSpacing(5);
    buttons->addWidget(saveImage_);
    buttons->addSpacing(25);
    buttons->addWidget(save_);
    buttons->addSpacing(5);
    buttons->addWidget(cancel_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 12, 10, 10);
    column->addLayout(top, 1);
    column->addWidget(separator);
    column->addLayout(buttons);
}

void SchemeEditorDialog::buildPages() {
    general_ = new GeneralPage(*this, this);
    pages_[0] = general_;
    pages_[1] = new ResizePage(*this, this);
    pages_[2] = new CaptionPage(*this, this);
    pages_[3] = new BorderPage(*this, this);
    pages_[4] = new StampPage(*this, this);
    pages_[5] = new EnhancementPage(*this, this);
    pages_[6] = new ConversionPage(*this, this);
    pages_[7] = new EffectsPage(*this, this);
    const char* const names[kPageCount] = {"generalPage",    "resizePage", "captionPage",
                                           "borderPage",     "stampPage",  "enhancementPage",
                                           "conversionPage", "effectsPage"};
    for (int i = 0; i < kPageCount; ++i) {
        EditorPage* page = pages_[static_cast<size_t>(i)];
        page->setObjectName(QString::fromLatin1(names[i]));
        if (page->title().isEmpty()) {
            page->hide();
        } else {
            tabs_->addTab(page, page->title());
        }
    }
}

void SchemeEditorDialog::setModeTexts() {
    if (request_.mode == EditorMode::SingleImage) {
        setWindowTitle(text("  处理单张图像"));
        save_->setEnabled(false);
        cancel_->setText(text("关闭"));
    } else {
        setWindowTitle(text("  编辑处理参数方案"));
    }
}

const Scheme* SchemeEditorDialog::editedScheme() const {
    return request_.mode == EditorMode::NewScheme ? nullptr : request_.scheme;
}

const Scheme& SchemeEditorDialog::savedScheme() const {
    if (request_.scheme) return *request_.scheme;
    return ownScheme_;
}

void SchemeEditorDialog::showPage(int index) {
    if (index >= 0 && index < tabs_->count()) tabs_->setCurrentIndex(index);
}

void SchemeEditorDialog::loadPages(const Scheme& scheme) {
    RefreshPause pause(*this);
    for (EditorPage* page : pages_) page->load(scheme);
}

std::optional<Scheme> SchemeEditorDialog::readPages() {
    Scheme scheme = editedScheme() ? *editedScheme() : Scheme{};
    for (EditorPage* page : pages_) {
        if (const std::optional<FieldRefusal> refusal = page->read(scheme)) {
            refuseAt(refusal->field, refusal->message);
            return std::nullopt;
        }
    }
    return scheme;
}

void SchemeEditorDialog::refuseAt(QWidget* field, const QString& message) {
    dialogs_.message(this, message, MessageKind::Stop);
    for (int i = 0; i < tabs_->count(); ++i) {
        if (tabs_->widget(i)->isAncestorOf(field)) showPage(i);
    }
    field->setFocus();
}

void SchemeEditorDialog::refreshPreview() {
    if (!refreshEnabled_) return;
    ++generation_;
    // A prediction still running would take the processor from the render.
    predictionJobs_.cancelAll();
    if (!sourceShown_) {
        refreshWaiting_ = true;
        return;
    }
    if (!livePreview_->isChecked() || !hasSource_) {
        previewBox_->showPicture(fittedSource_);
        prediction_->clear();
        fitWarning_->clear();
        fitWarning_->hide();
        Q_EMIT previewShown();
        return;
    }
    const std::optional<Scheme> scheme = readPages();
    if (!scheme) return;
    previewedScheme_ = scheme;
    PreviewRequest preview;
    preview.sourcePath = request_.imagePath;
    preview.scheme = *scheme;
    preview.boxWidth = previewBox_->contentsSize().width();
    preview.boxHeight = previewBox_->contentsSize().height();
    previews_.render(previewJobs_, std::move(preview),
                     [this, generation = generation_](const ShownPreview& shown) {
                         showRendered(generation, shown);
                     });
}

void SchemeEditorDialog::showRendered(int generation, const ShownPreview& shown) {
    if (generation != generation_) return;
    if (!shown.picture.isNull()) previewBox_->showPicture(shown.picture);
    if (!shown.drawn()) reportOnce(shown.failure);
    Q_EMIT previewShown();
    if (shown.drawn()) predict(generation);
}

void SchemeEditorDialog::predict(int generation) {
    if (!previewedScheme_) return;
    predictionJobs_.run<ResultPrediction>(
        [cache = previews_.cache(), appFolder = request_.appFolder, scheme = *previewedScheme_,
         path = request_.imagePath](const JobToken& token) {
            return predictResult(*cache, scheme, path, appFolder,
                                 [&token] { return token.stopRequested(); });
        },
        [this, generation](ResultPrediction prediction) {
            showPrediction(generation, prediction);
        });
}

void SchemeEditorDialog::showPrediction(int generation, const ResultPrediction& prediction) {
    if (generation != generation_) return;
    prediction_->setText(predictionText(prediction));
    // Cut decorations in the words a run would warn with.
    QStringList cut;
    for (const std::string& warning : prediction.warnings) cut << QString::fromStdString(warning);
    fitWarning_->setText(cut.join('\n'));
    fitWarning_->setVisible(!cut.isEmpty());
    Q_EMIT predictionShown();
}

void SchemeEditorDialog::reportOnce(const QString& message) {
    previews_.reportOnce(message);
}

void SchemeEditorDialog::showBusy() {
    const bool commandRuns = commandsRunning_ > 0;
    if (commandRuns || !sourceShown_) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
    fullScreen_->setEnabled(!commandRuns);
    saveImage_->setEnabled(!commandRuns);
}

void SchemeEditorDialog::armPositionPick(PositionPick pick,
                                         std::function<void(double, double)> place) {
    pick_ = pick;
    placePick_ = pick == PositionPick::None ? nullptr : std::move(place);
}

void SchemeEditorDialog::previewClicked(QPoint point) {
    if (pick_ == PositionPick::None) return;
    const std::optional<QPointF> at = previewBox_->pictureFraction(point);
    if (!at || !(at->x() > 0 && at->x() < 1 && at->y() > 0 && at->y() < 1)) {
        dialogs_.message(this, text("请点击预览图像范围内！"), MessageKind::Stop);
        return;
    }
    const auto place = std::move(placePick_);
    pick_ = PositionPick::None;
    placePick_ = nullptr;
    if (place) place(at->x(), at->y());
}

void SchemeEditorDialog::reject() {
    done(2);
}

}  // namespace varnetto
