#include "app/DialogRouter.h"
#include "support/UiTestSupport.h"

#include <QDialog>
#include <QTableWidget>
#include <QTimer>

using namespace varnetto;
using namespace varnetto::testing;

class DialogRouterTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The router opens the real windows modally and hands back their results.
    void opensTheViewerAndTheSchemeViewer() {
        RecordingDialogs dialogs;
        DialogRouter router(dialogs);
        QStringList seen;
        auto closeWith = [&](int key) {
            QTimer::singleShot(200, [&, key] {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal) return;
                seen << modal->objectName();
                if (auto* list = modal->findChild<QTableWidget*>("parameterList"))
                    seen << QString::number(list->rowCount());
                QTest::keyClick(modal, Qt::Key(key));
            });
        };

        closeWith(Qt::Key_Escape);
        const vips::VImage picture =
            vips::VImage::black(64, 48, vips::VImage::option()->set("bands", 3));
        QCOMPARE(router.viewerOpener()(nullptr, showBitmapRequest(picture)), 2);

        Scheme scheme;
        scheme.name = "Web";
        closeWith(Qt::Key_Escape);
        router.schemeViewer(nullptr, SchemeViewerRequest{scheme});
        QCOMPARE(seen, (QStringList{"fullScreenViewer", "schemeViewer257", "23"}));
        QVERIFY(dialogs.messages.isEmpty());
    }
};

VARNETTO_QTEST_MAIN(DialogRouterTest)
#include "DialogRouterTest.moc"
