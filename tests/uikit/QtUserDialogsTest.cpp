#include "support/UiTestSupport.h"
#include "uikit/QtTranslations.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// Runs act on the next file dialog once it is up and waiting for the user.
void answerFileDialog(std::function<void(QFileDialog*)> act) {
    QTimer::singleShot(10, [act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return answerFileDialog(act);
        act(dialog);
    });
}

// Types name into the dialog in folder, and accepts once the dialog has
// taken it (it looks the name up in the folder it shows).
void chooseIn(QFileDialog* dialog, const QString& folder, const QString& name) {
    dialog->setDirectory(folder);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
    const QString wanted = folder + "/" + name;
    QTRY_COMPARE(dialog->selectedFiles().value(0), wanted);
    static_cast<QDialog*>(dialog)->accept();
}

QStringList filterNames(QFileDialog* dialog) {
    QStringList names;
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; combo && i < combo->count(); ++i) names << combo->itemText(i);
    return names;
}

}  // namespace

class QtUserDialogsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY(installQtChineseTranslation(*qApp)); }

    void qtsOwnTextsAreChinese() {
        QMessageBox box(QMessageBox::Critical, "Varnetto", "x",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("是(&Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QString("否(&N)"));
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QString("确定"));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(dialog.findChild<QLabel*>("lookInLabel")->text(), QString("查找范围："));
    }

    void openFileDialogShowsTheNamesAndStartsInTheLastFolder() {
        TempDir folder;
        const std::string trip = folder.str("trip");
        std::filesystem::create_directories(trip);
        writeBytes(trip + "/a.jpg", "x");
        QtUserDialogs dialogs;
        const QString filter =
            "JPEG 格式(*.jpg; *jpeg) (*.jpg *.jpeg);;"
            "\t\tPNG 格式(*.png) (*.png);;所有文件(*.*) (*)";
        QStringList names;
        QString firstStart;
        answerFileDialog([&](QFileDialog* dialog) {
            names = filterNames(dialog);
            firstStart = dialog->directory().absolutePath();
            chooseIn(dialog, QString::fromStdString(trip), "a.jpg");
        });
        QCOMPARE(dialogs.chooseOpenFile(nullptr, filter, "*.jpg"),
                 QString::fromStdString(trip + "/a.jpg"));
        QCOMPARE(names,
                 (QStringList{"JPEG 格式(*.jpg; *jpeg)", "PNG 格式(*.png)", "所有文件(*.*)"}));
        QCOMPARE(firstStart, QDir::homePath());

        QString secondStart;
        answerFileDialog([&](QFileDialog* dialog) {
            secondStart = dialog->directory().absolutePath();
            dialog->reject();
        });
        QCOMPARE(dialogs.chooseOpenFile(nullptr, filter, "*.jpg"), QString());
        QCOMPARE(secondStart, QString::fromStdString(trip));
    }

    void folderPickerStartsInTheLastFolderChosen() {
        TempDir folder;
        const QString photos = QString::fromStdString(folder.str("photos"));
        std::filesystem::create_directories(photos.toStdString());
        QtUserDialogs dialogs;
        QString firstStart;
        answerFileDialog([&](QFileDialog* dialog) {
            firstStart = dialog->directory().absolutePath();
            dialog->setDirectory(photos);
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(dialogs.chooseFolder(nullptr, "选择图像目录"), photos);
        QCOMPARE(firstStart, QDir::homePath());
        QString secondStart;
        QString title;
        answerFileDialog([&](QFileDialog* dialog) {
            secondStart = dialog->directory().absolutePath();
            title = dialog->windowTitle();
            dialog->reject();
        });
        QCOMPARE(dialogs.chooseFolder(nullptr, "选择图像目录"), QString());
        QCOMPARE(secondStart, photos);
        QCOMPARE(title, QString("选择图像目录"));
    }
};

VARNETTO_QTEST_MAIN(QtUserDialogsTest)
#include "QtUserDialogsTest.moc"
