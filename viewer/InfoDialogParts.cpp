#include "viewer/InfoDialogParts.h"

#include "uikit/Artwork.h"

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace varnetto::infodialog {

void addIcon(QDialog* dialog, const DialogUnits& units, int left, int top) {
    auto* icon = new QLabel(dialog);
    icon->setObjectName("programIcon");
    icon->setPixmap(QPixmap::fromImage(artwork::applicationIcon(32)));
    icon->setGeometry(QRect(QPoint(units.x(left), units.y(top)), QSize(32, 32)));
}

QLabel* addText(QDialog* dialog, const DialogUnits& units, const char* text, int left, int top,
                int width, int height) {
    auto* label = new QLabel(QString::fromUtf8(text), dialog);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QRect area = units.rect(left, top, width, height);
    const QSize needed = label->fontMetrics().size(Qt::TextSingleLine, label->text());
    area.setWidth(std::max(area.width(), needed.width()));
    area.setHeight(std::max(area.height(), needed.height()));
    label->setGeometry(area);
    return label;
}

QPushButton* addOkButton(QDialog* dialog, const DialogUnits& units, int left, int top) {
    auto* ok = new QPushButton(QString::fromUtf8("确定"), dialog);
    ok->setObjectName("ok");
    ok->setDefault(true);
    ok->setGeometry(units.rect(left, top, 50, 14));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    return ok;
}

}  // namespace varnetto::infodialog
