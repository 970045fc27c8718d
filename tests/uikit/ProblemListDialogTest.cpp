#include "support/UiTestSupport.h"
#include "uikit/AccessibleNames.h"
#include "uikit/ProblemListDialog.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

class RecordingDesktop final : public Desktop {
  public:
    bool openFolder(const QString& folder) override {
        opened << folder;
        return result;
    }
    QStringList opened;
    bool result = true;
};

struct ListFixture {
    ListFixture()
        : picture(pictureIn(folder, "trip/a.jpg")),
          dialog(QString("3 个图像处理失败。"),
                 {{picture, QString("无法读取图像：文件已损坏"), ProblemKind::Failed},
                  {QString("处理方案 Web 的批量处理"), QString("批量处理中止：内存不足"),
                   ProblemKind::Failed},
                  {QString::fromStdString(folder.str("gone/b.png")), QString("图像不存在"),
                   ProblemKind::Warning}},
                 desktop, dialogs) {}
    // The path of a picture whose folder exists.
    static QString pictureIn(const TempDir& folder, const std::string& name) {
        const std::filesystem::path path = folder.path() / name;
        std::filesystem::create_directories(path.parent_path());
        return QString::fromStdString(path.string());
    }
    template <class Widget>
    Widget* child(const char* name) {
        Widget* found = dialog.findChild<Widget*>(name);
        if (!found) qFatal("no widget %s", name);
        return found;
    }
    QTreeWidget* table() { return child<QTreeWidget>("problemTable"); }
    QPushButton* openButton() { return child<QPushButton>("openFolderButton"); }
    void selectLine(int line) { table()->setCurrentItem(table()->topLevelItem(line)); }

    TempDir folder;
    QString picture;
    RecordingDesktop desktop;
    RecordingDialogs dialogs;
    ProblemListDialog dialog;
};

}  // namespace

class ProblemListDialogTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void listsEveryFileWithItsReasonInAResizableWindow() {
        ListFixture f;
        QTreeWidget* table = f.table();
        QCOMPARE(table->headerItem()->text(0), QString("文件"));
        QCOMPARE(table->headerItem()->text(1), QString("原因"));
        QCOMPARE(table->topLevelItemCount(), 3);
        QCOMPARE(table->topLevelItem(0)->text(0), f.picture);
        QCOMPARE(table->topLevelItem(0)->text(1), QString("无法读取图像：文件已损坏"));
        QVERIFY(table->topLevelItem(2)->toolTip(0).startsWith("警告\n"));
        QVERIFY(table->topLevelItem(0)->toolTip(0).startsWith("处理失败\n"));
        QCOMPARE(f.child<QLabel>("problemSummary")->text(), QString("3 个图像处理失败。"));
        // The current line is shown whole, however narrow the columns.
        QCOMPARE(f.child<QLabel>("problemDetail")->text(),
                 f.picture + "\n无法读取图像：文件已损坏");
        f.selectLine(1);
        QCOMPARE(f.child<QLabel>("problemDetail")->text(),
                 QString("处理方案 Web 的批量处理\n批量处理中止：内存不足"));
        QVERIFY(f.dialog.isSizeGripEnabled());
        f.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
        f.dialog.resize(1100, 600);
        QTRY_COMPARE(f.dialog.size(), QSize(1100, 600));
        QVERIFY(table->width() > 1000);
        QCOMPARE(controlsWithoutAccessibleName(&f.dialog).join(", "), QString());
    }

    void copiesTheWholeList() {
        ListFixture f;
        QApplication::clipboard()->clear();
        f.child<QPushButton>("copyListButton")->click();
        const QString expected = f.picture + "\t无法读取图像：文件已损坏\n" +
                                 "处理方案 Web 的批量处理\t批量处理中止：内存不足\n" +
                                 QString::fromStdString(f.folder.str("gone/b.png")) +
                                 "\t警告：图像不存在\n";
        QCOMPARE(QApplication::clipboard()->text(), expected);
    }

    void opensTheFolderOfAPictureThatHasOne() {
        ListFixture f;
        // The first line is current from the start.
        QVERIFY(f.openButton()->isEnabled());
        f.openButton()->click();
        QCOMPARE(f.desktop.opened, QStringList{QString::fromStdString(f.folder.str("trip"))});
        // A whole run and a vanished folder name no folder to open.
        for (int line : {1, 2}) {
            f.selectLine(line);
            QVERIFY(!f.openButton()->isEnabled());
        }
        f.selectLine(0);
        f.desktop.result = false;
        f.openButton()->click();
        QCOMPARE(
            f.dialogs.messages,
            QStringList{
                QString("无法打开目录 %1。").arg(QString::fromStdString(f.folder.str("trip")))});
    }

    void enterClosesTheList() {
        ListFixture f;
        f.dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.dialog));
        f.table()->setFocus();
        QTest::keyClick(f.table(), Qt::Key_Return);
        QVERIFY(!f.dialog.isVisible());
        QVERIFY(f.desktop.opened.isEmpty());
    }
};

VARNETTO_QTEST_MAIN(ProblemListDialogTest)
#include "ProblemListDialogTest.moc"
