#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "app/RememberedSettings.h"
#include "app/ToolTipDelay.h"
#include "common/AppFolder.h"
#include "common/Version.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "uikit/DesktopTheme.h"
#include "uikit/QtTranslations.h"
#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    varnetto::startWithHugePages(argv);
    varnetto::returnLargeBuffersToTheSystem();
    QApplication application(argc, argv);
    QApplication::setApplicationName("Varnetto");
    varnetto::followDesktopColours(application);
    varnetto::installQtChineseTranslation(application);
    varnetto::QtUserDialogs dialogs;
    try {
        varnetto::initImaging(argv[0]);
    } catch (const std::exception& failure) {
        // Without its imaging library the program can do nothing; say why
        // instead of vanishing.
        const QString text =
            QString::fromUtf8("无法启动图像处理库：%1").arg(QString::fromUtf8(failure.what()));
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        dialogs.message(nullptr, text, varnetto::MessageKind::Stop);
        return 2;
    }
    QApplication::setApplicationVersion(VARNETTO_VERSION);
    QGuiApplication::setDesktopFileName("org.varnetto.Varnetto");
    QFont font = QApplication::font();
    font.setPointSize(10);
    QApplication::setFont(font);
    varnetto::installMainWindowToolTipDelay();

    // Which store is used depends on whether the program's folder is the
    // user's to write: --help says which.
    const varnetto::AppFolders folders = varnetto::currentAppFolders();
    QCommandLineParser arguments;
    arguments.setApplicationDescription(
        QString::fromUtf8("Varnetto 批量图像处理。\n处理方案文件：%1")
            .arg(QString::fromStdString(folders.storePath())));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QString::fromUtf8("路径"),
                                    QString::fromUtf8("启动时加载的图像文件或目录。"),
                                    QString::fromUtf8("[文件或目录...]"));
    arguments.process(application);

    varnetto::DialogRouter secondary(dialogs, folders);
    varnetto::MainWindow window(folders, dialogs, secondary);
    varnetto::RememberedSettings remembered;
    remembered.restore(window, dialogs);
    remembered.show(window);
    std::vector<std::string> paths;
    for (const QString& path : arguments.positionalArguments()) paths.push_back(path.toStdString());
    window.openPaths(paths);
    const int status = QApplication::exec();
    remembered.save(window, dialogs);
    return status;
}
