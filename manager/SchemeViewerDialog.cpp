#include "manager/SchemeViewerDialog.h"

#include "schemes/SchemeViewRows.h"
#include "uikit/AccessibleNames.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>

namespace varnetto {

namespace {

// 236 x 265 dialog units at the dialog font.
constexpr QSize kClientSize(354, 398);
constexpr int kLabelColumnWidth = 160;
constexpr int kValueColumnWidth = 180;

QTableWidgetItem* cell(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

SchemeViewerDialog::SchemeViewerDialog(const SchemeViewerRequest& request, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("处理方案参数查看"));
    setObjectName("schemeViewer257");

    list_ = new QTableWidget(0, 2, this);
    list_->setObjectName("parameterList");
    list_->setAccessibleName(QString::fromUtf8("处理方案参数"));
    list_->setHorizontalHeaderLabels({QString::fromUtf8("参数名称"), QString::fromUtf8("参数值")});
    list_->verticalHeader()->hide();
    list_->setShowGrid(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setWordWrap(false);
    list_->horizontalHeader()->setStretchLastSection(false);
    list_->setColumnWidth(0, kLabelColumnWidth);
    list_->setColumnWidth(1, kValueColumnWidth);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    // The selected row stays marked while the button has the focus.
    QPalette palette = list_->palette();
    palette.setBrush(QPalette::Inactive, QPalette::Highlight,
                     palette.brush(QPalette::Active, QPalette::Highlight));
    palette.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                     palette.brush(QPalette::Active, QPalette::HighlightedText));
    list_->setPalette(palette);

    if (request.scheme) {
        const std::vector<SchemeViewRow> rows = schemeViewRows(*request.scheme);
        list_->setRowCount(static_cast<int>(rows.size()));
        for (int row = 0; row < list_->rowCount(); ++row) {
            list_->setItem(row, 0, cell(rows[static_cast<size_t>(row)].label));
            list_->setItem(row, 1, cell(rows[static_cast<size_t>(row)].value));
        }
    }

    close_ = new QPushButton(QString::fromUtf8("关闭"), this);
    close_->setObjectName("closeButton");
    close_->setFlat(true);
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    // Wide enough for both columns beside the scroll bar, so the list never
    // needs a horizontal one.
    const int listWidth = kLabelColumnWidth + kValueColumnWidth + 2 * list_->frameWidth() +
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    resize(std::max(kClientSize.width(), listWidth + 10), kClientSize.height());
    nameControlsForAssistiveTools(this);
}

void SchemeViewerDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The list fills the client area but for 5 pixels at the left, top and
    // right and 45 at the bottom, where the button sits.
    list_->setGeometry(5, 5, width() - 10, height() - 50);
    const QSize button(75, 25);
    close_->setGeometry((width() - button.width()) / 2, height() - 45 + (45 - button.height()) / 2,
                        button.width(), button.height());
}

}  // namespace varnetto
