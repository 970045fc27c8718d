#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "common/AppFolder.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "uikit/QtTranslations.h"
#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    varnetto::returnLargeBuffersToTheSystem();
    varnetto::initImaging(argv[0]);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Varnetto");
    varnetto::installQtChineseTranslation(application);
    QFont font = QApplication::font();
    font.setPointSize(10);
    QApplication::setFont(font);

    varnetto::QtUserDialogs dialogs;
    varnetto::DialogRouter secondary(dialogs);
    varnetto::MainWindow window(varnetto::applicationFolder(), dialogs, secondary);
    window.showMaximized();
    return QApplication::exec();
}
