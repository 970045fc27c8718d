#include "app/RememberedSettings.h"

#include "app/BatchDialog.h"
#include "app/MainWindow.h"
#include "uikit/UserDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QStandardPaths>

namespace varnetto {

namespace {

const char* const kGeometry = "window/geometry";
const char* const kMaximized = "window/maximized";
const char* const kScheme = "schemes/chosen";
const char* const kFolderPicker = "pickers/folder";
const char* const kFilePicker = "pickers/fileFolder";
const char* const kAutoClose = "batch/autoClose";
// By its command-line name ("newer"), so an unknown one reads as the default.
const char* const kExistingOutput = "batch/existingOutput";

QComboBox* schemeChoice(MainWindow& window) {
    return window.findChild<QComboBox*>(QStringLiteral("schemeChoice"));
}

}  // namespace

QString RememberedSettings::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/varnetto/varnetto.conf");
}

RememberedSettings::RememberedSettings(const QString& file)
    : settings_(file, QSettings::IniFormat) {}

void RememberedSettings::restore(MainWindow& window, QtUserDialogs& dialogs) {
    if (settings_.contains(kGeometry))
        window.restoreGeometry(settings_.value(kGeometry).toByteArray());
    if (QComboBox* choice = schemeChoice(window)) {
        // A scheme deleted or renamed since leaves the first one chosen.
        const int kept = choice->findText(settings_.value(kScheme).toString(), Qt::MatchExactly);
        if (kept >= 0) choice->setCurrentIndex(kept);
    }
    dialogs.setPickerFolders(
        {settings_.value(kFolderPicker).toString(), settings_.value(kFilePicker).toString()});
    if (auto* batch = window.findChild<BatchDialog*>(QStringLiteral("batchDialog"))) {
        batch->setAutoCloseAtOpening(settings_.value(kAutoClose, true).toBool());
        const auto existing =
            parseExistingOutput(settings_.value(kExistingOutput).toString().toStdString());
        batch->setExistingOutput(existing.value_or(ExistingOutput::Replace));
    }
}

void RememberedSettings::show(MainWindow& window) {
    if (!settings_.contains(kGeometry) || settings_.value(kMaximized, true).toBool())
        window.showMaximized();
    else
        window.showNormal();
}

void RememberedSettings::save(MainWindow& window, const QtUserDialogs& dialogs) {
    settings_.setValue(kGeometry, window.saveGeometry());
    settings_.setValue(kMaximized, window.isMaximized());
    if (const QComboBox* choice = schemeChoice(window); choice && choice->currentIndex() >= 0)
        settings_.setValue(kScheme, choice->currentText());
    const QtUserDialogs::PickerFolders folders = dialogs.pickerFolders();
    settings_.setValue(kFolderPicker, folders.folder);
    settings_.setValue(kFilePicker, folders.fileFolder);
    if (const auto* autoClose = window.findChild<QCheckBox*>(QStringLiteral("autoCloseBox")))
        settings_.setValue(kAutoClose, autoClose->isChecked());
    if (const auto* batch = window.findChild<BatchDialog*>(QStringLiteral("batchDialog")))
        settings_.setValue(
            kExistingOutput,
            QString::fromStdString(std::string(existingOutputName(batch->existingOutput()))));
    settings_.sync();
}

}  // namespace varnetto
