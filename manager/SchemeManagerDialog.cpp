#include "manager/SchemeManagerDialog.h"

#include "processing/SchemePipeline.h"
#include "schemes/StoreFormat.h"
#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

namespace varnetto {

namespace {

constexpr int kWidth = 411;
constexpr int kHeight = 366;
constexpr int kGroupWidth = 180;
constexpr int kGroupHeight = 152;

void place(QWidget* widget, int left, int top, int right, int bottom) {
    widget->setGeometry(left, top, right - left, bottom - top);
}

QPushButton* flatButton(const char* label, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text(label), parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setAutoDefault(false);
    return button;
}

// A group box holding a picture box of 4:3, centred where a box of the
// group's inner height would stand.
QLabel* pictureGroup(const char* title, const char* boxName, int top, QWidget* parent) {
    auto* group = new QGroupBox(text(title), parent);
    place(group, 7, top, 7 + kGroupWidth, top + kGroupHeight);
    auto* box = new QLabel(group);
    box->setObjectName(boxName);
    box->setAlignment(Qt::AlignCenter);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    const int height = kGroupHeight - 27;
    const int width = height * 4 / 3;
    box->setGeometry((kGroupWidth - width) / 2, 20, width, height);
    return box;
}

}  // namespace

SchemeManagerDialog::SchemeManagerDialog(UserDialogs& dialogs, ManagerRequest request,
                                         QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      request_(std::move(request)),
      reporter_(dialogs, this),
      workingStore_(request_.appFolder),
      previews_(dialogs, this, request_.appFolder) {
    setObjectName("schemeManager");
    setWindowTitle(text("  图像处理参数方案管理"));
    setWindowIcon(artwork::windowIcon());
    setFixedSize(kWidth, kHeight);
    const std::pair<BackgroundJobs*, const char*> jobs[] = {
        {&originalJobs_, "originalPicture"},
        {&previewJobs_, "schemePreview"},
        {&fullScreenJobs_, "fullScreenPicture"}};
    for (const auto& [owned, name] : jobs) {
        owned->setObjectName(QString::fromLatin1(name));
        // Found among the dialog's children; destroyed as members first.
        owned->setParent(this);
    }
    createControls();
    renderOriginal();

    // Load messages belong to the window that opened the manager.
    UiReporter loadReporter(dialogs_, parent);
    workingStore_.load(loadReporter);
    savedBytes_ = storeBytes();
    fillList();
    livePreview_->setChecked(true);
    nameControlsForAssistiveTools(this);
}

void SchemeManagerDialog::createControls() {
    originalBox_ = pictureGroup("原图像", "originalBox", 5, this);
    previewBox_ = pictureGroup("预览", "previewBox", 162, this);

    const int listLeft = kGroupWidth + 15;
    list_ = new QListWidget(this);
    list_->setObjectName("schemeList");
    list_->setAccessibleName(text("图像处理方案"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    place(list_, listLeft, 12, kWidth - 5, 282);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            &SchemeManagerDialog::selectionChanged);
    connect(list_, &QListWidget::itemDoubleClicked, this, &SchemeManagerDialog::editSelected);

    auto* add = flatButton("增加", "addButton", this);
    auto* remove = flatButton("删除", "deleteButton", this);
    auto* edit = flatButton("编辑", "editButton", this);
    place(add, listLeft, 288, listLeft + 65, 313);
    place(remove, listLeft + 73, 288, listLeft + 138, 313);
    place(edit, kWidth - 70, 288, kWidth - 5, 313);
    connect(add, &QPushButton::clicked, this, &SchemeManagerDialog::addScheme);
    connect(remove, &QPushButton::clicked, this, &SchemeManagerDialog::deleteScheme);
    connect(edit, &QPushButton::clicked, this, &SchemeManagerDialog::editScheme);

    const int top = kHeight - 35;
    const int bottom = kHeight - 10;
    livePreview_ = new QCheckBox(text("实时预览"), this);
    livePreview_->setObjectName("livePreviewCheck");
    place(livePreview_, 10, top, 100, bottom);
    auto* cancel = flatButton("取消", "cancelButton", this);
    place(cancel, kWidth - 90, top, kWidth - 10, bottom);
    auto* save = flatButton("保存", "saveButton", this);
    place(save, kWidth - 175, top, kWidth - 95, bottom);
    fullScreen_ = flatButton("全屏预览", "fullScreenButton", this);
    place(fullScreen_, kWidth - 280, top, kWidth - 200, bottom);
    connect(cancel, &QPushButton::clicked, this, [this] { done(2); });
    connect(save, &QPushButton::clicked, this, &SchemeManagerDialog::save);
    connect(fullScreen_, &QPushButton::clicked, this, &SchemeManagerDialog::fullScreenPreview);
}

bool SchemeManagerDialog::schemeNameExists(const std::string& name) const {
    return workingStore_.findByName(name) != nullptr;
}

void SchemeManagerDialog::fillList() {
    // Row numbers now name other schemes: the next selection renders anew.
    lastRenderedRow_ = -1;
    list_->clear();
    for (const Scheme& scheme : workingStore_) list_->addItem(QString::fromStdString(scheme.name));
}

void SchemeManagerDialog::refillList() {
    fillList();
    // Nothing is selected now: the preview box shows the picture unprocessed.
    render(std::nullopt);
}

Scheme* SchemeManagerDialog::selectedScheme() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return nullptr;
    return workingStore_.at(static_cast<size_t>(rows.first().row()));
}

void SchemeManagerDialog::selectionChanged() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    if (row == lastRenderedRow_) return;
    lastRenderedRow_ = row;
    const Scheme* scheme = selectedScheme();
    if (!scheme) return;
    render(livePreview_->isChecked() ? std::optional<Scheme>(*scheme) : std::nullopt);
}

void SchemeManagerDialog::renderOriginal() {
    const int serial = ++renderSerial_;
    PreviewRequest original;
    original.sourcePath = request_.imagePath;
    original.boxWidth = originalBox_->contentsRect().width();
    original.boxHeight = originalBox_->contentsRect().height();
    previews_.render(originalJobs_, std::move(original), [this, serial](const ShownPreview& shown) {
        if (!shown.drawn()) {
            showBroken(shown);
            return;
        }
        originalBox_->setPixmap(QPixmap::fromImage(shown.picture));
        // Until a scheme is drawn the preview shows the picture as it is.
        if (serial == renderSerial_) previewBox_->setPixmap(QPixmap::fromImage(shown.picture));
    });
}

void SchemeManagerDialog::render(std::optional<Scheme> scheme) {
    const int serial = ++renderSerial_;
    const QString name = scheme ? QString::fromStdString(scheme->name) : QString();
    PreviewRequest preview;
    preview.sourcePath = request_.imagePath;
    preview.scheme = std::move(scheme);
    preview.boxWidth = previewBox_->contentsRect().width();
    preview.boxHeight = previewBox_->contentsRect().height();
    previews_.render(
        previewJobs_, std::move(preview),
        [this, serial, name](const ShownPreview& shown) { showRendered(serial, shown, name); });
}

void SchemeManagerDialog::showRendered(int serial, const ShownPreview& shown,
                                       const QString& schemeName) {
    if (shown.sourceFailed) {
        showBroken(shown);
        return;
    }
    // An older render finishing late must not replace a newer one.
    if (serial != renderSerial_) return;
    if (!shown.drawn()) {
        previewBox_->setPixmap(QPixmap::fromImage(artwork::brokenPicture()));
        dialogs_.message(this,
                         schemeName.isEmpty()
                             ? shown.failure
                             : text("无法预览处理方案 %1：%2").arg(schemeName, shown.failure),
                         MessageKind::Stop);
        return;
    }
    previewBox_->setPixmap(QPixmap::fromImage(shown.picture));
}

void SchemeManagerDialog::showBroken(const ShownPreview& shown) {
    originalBox_->setPixmap(QPixmap::fromImage(artwork::brokenPicture()));
    previewBox_->setPixmap(QPixmap::fromImage(artwork::brokenPicture()));
    // Every render fails alike; saying so once is enough.
    previews_.reportOnce(shown.failure);
}

void SchemeManagerDialog::tellNoSelection() {
    dialogs_.message(this, text("   请选择一个处理方案。   "), MessageKind::Stop);
}

void SchemeManagerDialog::addScheme() {
    if (!request_.openEditor) return;
    Scheme created;
    EditorRequest editor;
    editor.mode = EditorMode::NewScheme;
    editor.imagePath = request_.imagePath;
    editor.appFolder = request_.appFolder;
    editor.scheme = &created;
    editor.store = &workingStore_;
    editor.nameExists = [this](const std::string& name) { return schemeNameExists(name); };
    editor.openViewer = request_.openViewer;
    editor.previewCache = previews_.cache();
    if (request_.openEditor(this, editor) != 1) return;
    workingStore_.append(std::move(created));
    refillList();
}

void SchemeManagerDialog::deleteScheme() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    const Scheme* scheme = selectedScheme();
    if (!scheme) {
        tellNoSelection();
        return;
    }
    const QString question =
        text("确定要删除图像处理方案 %1 ?").arg(QString::fromStdString(scheme->name));
    if (!dialogs_.ask(this, question, MessageKind::Exclamation)) return;
    workingStore_.removeAt(static_cast<size_t>(rows.first().row()));
    refillList();
}

void SchemeManagerDialog::editScheme() {
    if (!selectedScheme()) {
        tellNoSelection();
        return;
    }
    editSelected();
}

void SchemeManagerDialog::editSelected() {
    Scheme* scheme = selectedScheme();
    if (!scheme || !request_.openEditor) return;
    EditorRequest editor;
    editor.mode = EditorMode::EditScheme;
    editor.imagePath = request_.imagePath;
    editor.appFolder = request_.appFolder;
    editor.scheme = scheme;
    editor.store = &workingStore_;
    editor.openViewer = request_.openViewer;
    editor.previewCache = previews_.cache();
    if (request_.openEditor(this, editor) == 1) refillList();
}

void SchemeManagerDialog::fullScreenPreview() {
    const Scheme* scheme = selectedScheme();
    if (!scheme) {
        tellNoSelection();
        return;
    }
    PreviewRequest whole;
    whole.sourcePath = request_.imagePath;
    whole.scheme = *scheme;
    setBusy(true);
    previews_.render(fullScreenJobs_, std::move(whole), [this](const ShownPreview& shown) {
        setBusy(false);
        if (!shown.drawn()) {
            const std::string reason = failureText(request_.imagePath, shown.failure.toStdString());
            dialogs_.message(this, QString::fromStdString(reason), MessageKind::Stop);
            return;
        }
        if (!request_.openViewer) return;
        request_.openViewer(this, showBitmapRequest(shown.whole));
    });
}

void SchemeManagerDialog::setBusy(bool busy) {
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
    fullScreen_->setEnabled(!busy);
}

void SchemeManagerDialog::save() {
    if (saveStore()) done(1);
}

bool SchemeManagerDialog::saveStore() {
    // A failed save has said why; the working store stays for another try.
    if (!workingStore_.save(reporter_)) return false;
    savedBytes_ = storeBytes();
    return true;
}

std::string SchemeManagerDialog::storeBytes() const {
    return writeStoreBytes(workingStore_.header(), workingStore_);
}

bool SchemeManagerDialog::hasUnsavedChanges() const {
    return storeBytes() != savedBytes_;
}

void SchemeManagerDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Cancel:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void SchemeManagerDialog::closeEvent(QCloseEvent* event) {
    // "取消" throws changes away on purpose; the close box asks first.
    if (hasUnsavedChanges() &&
        dialogs_.ask(this, text("处理方案已经修改，是否保存？"), MessageKind::Exclamation)) {
        if (!saveStore()) {
            event->ignore();
            return;
        }
        done(1);
    } else {
        done(2);
    }
    event->accept();
}

void SchemeManagerDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(125, 125, 125));
    painter.drawLine(5, 320, width() - 5, 320);
    painter.setPen(Qt::white);
    painter.drawLine(5, 321, width() - 5, 321);
}

}  // namespace varnetto
