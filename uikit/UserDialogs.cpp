#include "uikit/UserDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace varnetto {

namespace {

const char* const kCaption = "Varnetto";

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
        case MessageKind::Stop:
            return QMessageBox::Critical;
        case MessageKind::Exclamation:
            return QMessageBox::Warning;
        case MessageKind::Information:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

void QtUserDialogs::message(QWidget* owner, const QString& text, MessageKind kind) {
    QMessageBox box(iconOf(kind), kCaption, text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtUserDialogs::ask(QWidget* owner, const QString& text, MessageKind kind) {
    QMessageBox box(iconOf(kind), kCaption, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

QString QtUserDialogs::chooseFolder(QWidget* owner, const QString& title) {
    return QFileDialog::getExistingDirectory(owner, title, {}, QFileDialog::ShowDirsOnly);
}

QString QtUserDialogs::chooseOpenFile(QWidget* owner, const QString& filter,
                                      const QString& initialName) {
    QFileDialog dialog(owner, {}, {}, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(initialName);
    dialog.setDefaultSuffix({});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void QtUserDialogs::details(QWidget* owner, const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::Information, kCaption, text, QMessageBox::Ok, owner);
    box.setDetailedText(details);
    box.exec();
}

std::optional<QFont> QtUserDialogs::chooseFont(QWidget* owner, const QFont& initial) {
    bool chosen = false;
    const QFont font = QFontDialog::getFont(&chosen, initial, owner);
    if (!chosen) return std::nullopt;
    return font;
}

std::optional<QColor> QtUserDialogs::chooseColor(QWidget* owner, const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, owner);
    if (!color.isValid()) return std::nullopt;
    return color;
}

}  // namespace varnetto
