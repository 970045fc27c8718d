#include "manager/SchemeViewerDialog.h"
#include "schemes/SchemeViewRows.h"
#include "support/UiTestSupport.h"
#include "uikit/AccessibleNames.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace varnetto;

namespace {

QTableWidget* listOf(const SchemeViewerDialog& dialog) {
    auto* list = dialog.findChild<QTableWidget*>("parameterList");
    if (!list) qFatal("no parameter list");
    return list;
}

}  // namespace

class SchemeViewerDialogTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The dialog lists exactly the rows "varnetto-cli show" prints, read-only.
    void listsTheSchemesRows() {
        Scheme scheme;
        scheme.name = "相框打印";
        scheme.enhanceEnabled = scheme.rotateEnabled = 1;
        scheme.rotateAngle = -90.0f;
        scheme.resizeEnabled = 1;
        scheme.resizeMode = stored(ResizeMode::Fixed);
        SchemeViewerDialog dialog(SchemeViewerRequest{scheme});
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("处理方案参数查看"));
        QTableWidget* list = listOf(dialog);
        const std::vector<SchemeViewRow> expected = schemeViewRows(scheme);
        QCOMPARE(list->rowCount(), int(expected.size()));
        for (int row = 0; row < list->rowCount(); ++row) {
            const SchemeViewRow& want = expected[size_t(row)];
            QCOMPARE(list->item(row, 0)->text().toStdString(), want.label);
            QCOMPARE(list->item(row, 1)->text().toStdString(), want.value);
            QVERIFY(!(list->item(row, 1)->flags() & Qt::ItemIsEditable));
        }
        QVERIFY(list->findItems("-90.0", Qt::MatchExactly).size() == 1);
        QCOMPARE(list->columnWidth(0), 160);
        QCOMPARE(list->columnWidth(1), 180);
        QVERIFY(list->showGrid());
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(controlsWithoutAccessibleName(&dialog), QStringList());
    }

    void withoutASchemeTheListIsEmpty() {
        SchemeViewerDialog dialog(SchemeViewerRequest{});
        QTableWidget* list = listOf(dialog);
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(list->columnCount(), 2);
        QCOMPARE(list->horizontalHeaderItem(0)->text(), QString::fromUtf8("参数名称"));
        QCOMPARE(list->horizontalHeaderItem(1)->text(), QString::fromUtf8("参数值"));
    }

    void closeEndsTheDialog() {
        SchemeViewerDialog dialog(SchemeViewerRequest{Scheme{}});
        dialog.show();
        auto* close = dialog.findChild<QPushButton*>("closeButton");
        QVERIFY(close);
        QCOMPARE(close->text(), QString::fromUtf8("关闭"));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        // The list sits inside the client area with the button below it.
        QVERIFY(listOf(dialog)->geometry().bottom() < close->geometry().top());
    }
};

VARNETTO_QTEST_MAIN(SchemeViewerDialogTest)
#include "SchemeViewerDialogTest.moc"
