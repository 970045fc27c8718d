#include "app/SchemeChoiceDialog.h"

#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnetto {

SchemeChoiceDialog::SchemeChoiceDialog(const SchemeChoiceRequest& request, QWidget* parent)
    : QDialog(parent) {
    setObjectName("schemeChoiceDialog");
    setWindowTitle(QString::fromUtf8("更多方案"));
    setWindowIcon(artwork::windowIcon());
    auto* layout = new QVBoxLayout(this);
    auto* label =
        new QLabel(QString::fromUtf8("同时用以下处理方案处理（每个图像只读取一次）："), this);
    layout->addWidget(label);
    list_ = new QListWidget(this);
    list_->setObjectName("schemeChoiceList");
    list_->setAccessibleName(QString::fromUtf8("处理方案"));
    label->setBuddy(list_);
    for (const std::string& name : request.names) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool checked = std::find(request.checked.begin(), request.checked.end(), name) !=
                             request.checked.end();
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("schemeChoiceButtons");
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName("schemeChoiceOk");
    ok_->setAccessibleName(QString::fromUtf8("确定"));
    auto* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName("schemeChoiceCancel");
    cancel->setAccessibleName(QString::fromUtf8("取消"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemChanged, this, &SchemeChoiceDialog::checksChanged);
    checksChanged();
    nameControlsForAssistiveTools(this);
}

std::vector<std::string> SchemeChoiceDialog::checkedNames() const {
    std::vector<std::string> names;
    for (int row = 0; row < list_->count(); ++row)
        if (list_->item(row)->checkState() == Qt::Checked)
            names.push_back(list_->item(row)->text().toStdString());
    return names;
}

void SchemeChoiceDialog::checksChanged() {
    ok_->setEnabled(!checkedNames().empty());
}

}  // namespace varnetto
