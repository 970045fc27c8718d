#include "uikit/ProblemListDialog.h"

#include "uikit/AccessibleNames.h"
#include "uikit/Desktop.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace varnetto {

namespace {

QString kindText(ProblemKind kind) {
    return kind == ProblemKind::Warning ? text("警告") : text("处理失败");
}

}  // namespace

ProblemListDialog::ProblemListDialog(const QString& summary, std::vector<ProblemEntry> entries,
                                     Desktop& desktop, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)), desktop_(desktop), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Varnetto"));
    setSizeGripEnabled(true);

    auto* summaryLabel = new QLabel(summary, this);
    summaryLabel->setObjectName("problemSummary");
    summaryLabel->setTextFormat(Qt::PlainText);
    summaryLabel->setWordWrap(true);

    table_ = new QTreeWidget(this);
    table_->setObjectName("problemTable");
    table_->setAccessibleName(summary);
    table_->setRootIsDecorated(false);
    table_->setUniformRowHeights(true);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setHeaderLabels({text("文件"), text("原因")});
    table_->setTextElideMode(Qt::ElideMiddle);
    const QIcon failed = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const ProblemEntry& entry : entries_) {
        auto* item = new QTreeWidgetItem(table_, {entry.file, entry.reason});
        item->setIcon(0, entry.kind == ProblemKind::Warning ? warning : failed);
        item->setToolTip(0, kindText(entry.kind) + "\n" + entry.file);
        item->setToolTip(1, entry.reason);
    }
    table_->header()->setStretchLastSection(true);
    table_->header()->setAccessibleName(text("列标题"));
    table_->setColumnWidth(0, 360);
    connect(table_, &QTreeWidget::currentItemChanged, this, &ProblemListDialog::currentChanged);
    connect(table_, &QTreeWidget::itemDoubleClicked, this, &ProblemListDialog::openCurrentFolder);

    // Long paths and reasons lose their middle in the table; the current
    // line is shown whole below it.
    detail_ = new QLabel(this);
    detail_->setObjectName("problemDetail");
    detail_->setTextFormat(Qt::PlainText);
    detail_->setWordWrap(true);
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detail_->setMinimumHeight(3 * detail_->fontMetrics().lineSpacing());
    detail_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(this);
    auto* copy = buttons->addButton(text("复制列表"), QDialogButtonBox::ActionRole);
    copy->setObjectName("copyListButton");
    openFolder_ = buttons->addButton(text("打开所在目录"), QDialogButtonBox::ActionRole);
    openFolder_->setObjectName("openFolderButton");
    auto* close = buttons->addButton(text("关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName("closeButton");
    // Enter closes the list; the other buttons need a click or Space.
    for (QPushButton* button : {copy, openFolder_}) button->setAutoDefault(false);
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, &ProblemListDialog::copyList);
    connect(openFolder_, &QPushButton::clicked, this, &ProblemListDialog::openCurrentFolder);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summaryLabel);
    layout->addWidget(table_, 1);
    layout->addWidget(detail_);
    layout->addWidget(buttons);
    resize(760, 360);

    if (table_->topLevelItemCount() > 0) table_->setCurrentItem(table_->topLevelItem(0));
    currentChanged();
    nameControlsForAssistiveTools(this);
}

void ProblemListDialog::copyList() {
    QStringList lines;
    for (const ProblemEntry& entry : entries_) {
        const QString reason = entry.kind == ProblemKind::Warning
                                   ? kindText(entry.kind) + text("：") + entry.reason
                                   : entry.reason;
        lines << entry.file + "\t" + reason;
    }
    QApplication::clipboard()->setText(lines.join("\n") + "\n");
}

QString ProblemListDialog::currentFolder() const {
    const int row = table_->indexOfTopLevelItem(table_->currentItem());
    if (row < 0 || row >= static_cast<int>(entries_.size())) return {};
    // Only a picture's own path names a folder; a whole run that failed is
    // named by its scheme.
    const QFileInfo file(entries_[static_cast<size_t>(row)].file);
    if (!file.isAbsolute()) return {};
    const QString folder = file.absolutePath();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void ProblemListDialog::currentChanged() {
    openFolder_->setEnabled(!currentFolder().isEmpty());
    const QTreeWidgetItem* item = table_->currentItem();
    detail_->setText(item ? item->text(0) + "\n" + item->text(1) : QString());
}

void ProblemListDialog::openCurrentFolder() {
    const QString folder = currentFolder();
    if (folder.isEmpty()) return;
    if (!desktop_.openFolder(folder)) {
        dialogs_.message(this, text("无法打开目录 %1。").arg(folder), MessageKind::Stop);
    }
}

}  // namespace varnetto
