#include "uikit/UserDialogs.h"

#include "uikit/ProblemListDialog.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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

// The folder last used, while it still exists; else the user's home.
QString startFolder(const QString& last) {
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath();
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
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, title, startFolder(lastFolder_),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!chosen.isEmpty()) lastFolder_ = chosen;
    return chosen;
}

QString QtUserDialogs::chooseOpenFile(QWidget* owner, const QString& filter,
                                      const QString& initialName) {
    QFileDialog dialog(owner, {}, startFolder(lastFileFolder_), filter);
    dialog.setObjectName("openFileDialog");
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(initialName);
    dialog.setDefaultSuffix({});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().first();
    lastFileFolder_ = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString QtUserDialogs::chooseSaveFile(QWidget* owner, const QString& filter,
                                      const QString& initialName) {
    QFileDialog dialog(owner, {}, startFolder(lastFileFolder_), filter);
    dialog.setObjectName("saveFileDialog");
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().first();
    lastFileFolder_ = QFileInfo(chosen).absolutePath();
    return chosen;
}

void QtUserDialogs::problemList(QWidget* owner, const QString& summary,
                                const std::vector<ProblemEntry>& entries) {
    ProblemListDialog dialog(summary, entries, desktop_, *this, owner);
    dialog.exec();
}

std::optional<QFont> QtUserDialogs::chooseFont(QWidget* owner, const QFont& initial) {
    bool chosen = false;
    const QFont font =
        QFontDialog::getFont(&chosen, initial, owner, QString(), QFontDialog::DontUseNativeDialog);
    if (!chosen) return std::nullopt;
    return font;
}

std::optional<QColor> QtUserDialogs::chooseColor(QWidget* owner, const QColor& initial) {
    const QColor color =
        QColorDialog::getColor(initial, owner, QString(), QColorDialog::DontUseNativeDialog);
    if (!color.isValid()) return std::nullopt;
    return color;
}

}  // namespace varnetto
