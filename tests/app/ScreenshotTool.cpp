// Shows the main window on the running display with a folder of generated
// pictures loaded, some rows locked and one selected, and saves the screen.
// With --tree the folder tree is opened down to the pictures as well. With
// --manager it shows the scheme manager on the bundled schemes instead, with
// --about or --help that dialog alone.
// "editor FOLDER" instead saves the scheme editor's pages, each with a
// bundled scheme, as FOLDER/editor-*.png.
#include "app/CommandIds.h"
#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "app/TreeWalk.h"
#include "browser/FolderTree.h"
#include "browser/ImageListView.h"
#include "common/AppFolder.h"
#include "editor/BorderPiecesDialog.h"
#include "editor/SchemeEditorDialog.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "manager/SchemeManagerDialog.h"
#include "uikit/LatestRequestWorker.h"
#include "viewer/AboutDialog.h"
#include "viewer/HelpTipsDialog.h"
#include "viewer/LinkOpener.h"

#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

using namespace varnetto;

namespace {

class PrintingDialogs final : public UserDialogs {
  public:
    void message(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
    }
    bool ask(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
        return false;
    }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override { return std::nullopt; }
    void details(QWidget*, const QString& text, const QString&) override {
        std::cerr << text.toStdString() << "\n";
    }
};

// Landscapes of coloured bands and a sun, in several sizes and aspects.
void writeScene(const std::string& path, int width, int height, int seed) {
    using vips::VImage;
    const VImage xyz = VImage::xyz(width, height);
    const VImage x = xyz[0] / double(width);
    const VImage y = xyz[1] / double(height);
    const double phase = seed * 0.7;
    const VImage hills = (((x * 6.0 + phase).sin() * 0.08 + 0.6) < y).ifthenelse(1.0, 0.0);
    const double cx = 0.25 + 0.08 * (seed % 6);
    const VImage sun = (((x - cx).pow(2) + (y - 0.25).pow(2)) < 0.01).ifthenelse(1.0, 0.0);
    const VImage sky = 255.0 - y * 120.0;
    const VImage r = sky * 0.45 * (1 - hills) + hills * (40 + 20 * (seed % 4)) + sun * 200;
    const VImage g = sky * 0.7 * (1 - hills) + hills * (110 + 10 * (seed % 5)) + sun * 140;
    const VImage b = sky * (1 - hills) + hills * 50;
    r.bandjoin(g)
        .bandjoin(b)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(path.c_str());
}

// The scheme manager on the bundled store and sample picture, with the
// third scheme selected and its preview drawn.
int managerShot(QApplication& app, const QString& output) {
    QFont font = QApplication::font();
    font.setPointSize(10);  // as the program sets it
    QApplication::setFont(font);
    PrintingDialogs dialogs;
    ManagerRequest request;
    request.appFolder = applicationFolder();
    request.imagePath = request.appFolder + "/Preview.jpg";
    SchemeManagerDialog dialog(dialogs, request);
    dialog.move(dialog.screen()->availableGeometry().center() - dialog.rect().center());
    dialog.show();
    dialog.findChild<QListWidget*>("schemeList")->setCurrentRow(2);
    auto* worker = dialog.findChild<LatestRequestWorker*>("schemePreview");
    QTimer poll;
    poll.setInterval(200);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (worker->busy()) return;
        poll.stop();
        QTimer::singleShot(300, [&] {
            const QRect area = dialog.frameGeometry().adjusted(-20, -20, 20, 20);
            const QPixmap shot =
                dialog.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
            const bool saved = shot.save(output);
            std::cerr << (saved ? "saved " : "could not save ") << output.toStdString() << "\n";
            app.exit(saved ? 0 : 1);
        });
    });
    poll.start();
    return QApplication::exec();
}

// Opens the tree from its root drive down to folder and selects one of its
// pictures, with the folder at the top of the view.
void revealInTree(FolderTree& tree, const std::string& folder) {
    const QModelIndex at = testing::openTreeDownTo(tree, folder);
    if (!at.isValid()) return;
    tree.expand(at);
    testing::waitForTree(tree);
    const auto pictures = tree.model()->match(tree.model()->index(0, 0, at), Qt::DisplayRole,
                                              QStringLiteral("scene1.png"), 1, Qt::MatchExactly);
    if (!pictures.isEmpty()) tree.setCurrentIndex(pictures.first());
    tree.scrollTo(at, QAbstractItemView::PositionAtTop);
}

int saveDialog(QApplication& app, QDialog& dialog, const QString& output) {
    dialog.show();
    QTimer::singleShot(800, [&] {
        const bool saved = dialog.grab().save(output);
        std::cerr << (saved ? "saved " : "could not save ") << output.toStdString() << "\n";
        app.exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}

// Each built page of the editor with the bundled scheme that uses it most.
int editorPages(UserDialogs& dialogs, const std::string& folder) {
    std::filesystem::create_directories(folder);
    const std::string picture = folder + "/scene.jpg";
    writeScene(picture, 1600, 1200, 3);
    SchemeStore store(applicationFolder());
    SilentReporter silent;
    store.load(silent);
    const struct {
        const char* scheme;
        int page;
        const char* file;
    } shots[] = {{"缩略图 50%", 0, "editor-general.png"},
                 {"网页发布 1600", 1, "editor-resize.png"},
                 {"网页发布 1600", 2, "editor-caption.png"},
                 {"黑白胶片", 3, "editor-border.png"},
                 {"相框打印", 4, "editor-stamp.png"},
                 {"相框打印", 5, "editor-enhancement.png"},
                 {"黑白胶片", 6, "editor-conversion.png"},
                 // No tab shows the effects page: the page alone.
                 {"相框打印", 7, "editor-effects.png"}};
    for (const auto& shot : shots) {
        Scheme* scheme = store.findByName(shot.scheme);
        if (!scheme) {
            std::cerr << "no bundled scheme " << shot.scheme << "\n";
            return 1;
        }
        EditorRequest request;
        request.mode = EditorMode::EditScheme;
        request.imagePath = picture;
        request.appFolder = applicationFolder();
        request.scheme = scheme;
        request.store = &store;
        SchemeEditorDialog dialog(request, dialogs);
        QEventLoop rendering;
        QObject::connect(&dialog, &SchemeEditorDialog::previewShown, &rendering, &QEventLoop::quit);
        QTimer::singleShot(20000, &rendering, &QEventLoop::quit);
        dialog.show();
        dialog.showPage(shot.page);
        rendering.exec();
        QEventLoop settling;
        QTimer::singleShot(300, &settling, &QEventLoop::quit);
        settling.exec();
        const QString output = QString::fromStdString(folder + "/" + shot.file);
        QWidget* shown = &dialog;
        if (shot.page == SchemeEditorDialog::kPageCount - 1) {
            shown = dialog.page(shot.page);
            shown->resize(shown->sizeHint().expandedTo(QSize(400, 300)));
        }
        if (!shown->grab().save(output)) {
            std::cerr << "could not save " << output.toStdString() << "\n";
            return 1;
        }
        std::cerr << "saved " << output.toStdString() << "\n";
    }
    // The pieces dialog, holding the pieces of a bundled set.
    Scheme wood;
    wood.borderName = "Wood";
    BorderPiecesDialog pieces(borderPiecePathsOf(wood, applicationFolder()), dialogs, nullptr);
    pieces.show();
    QEventLoop settling;
    QTimer::singleShot(300, &settling, &QEventLoop::quit);
    settling.exec();
    const QString output = QString::fromStdString(folder + "/editor-border-pieces.png");
    if (!pieces.grab().save(output)) {
        std::cerr << "could not save " << output.toStdString() << "\n";
        return 1;
    }
    std::cerr << "saved " << output.toStdString() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool editorShots = argc == 3 && std::string(argv[1]) == "editor";
    const std::string mode = argc == 4 ? argv[1] : "";
    const bool known = mode.empty() || mode == "--manager" || mode == "--tree" ||
                       mode == "--about" || mode == "--help";
    if (!editorShots && ((argc != 3 && argc != 4) || !known)) {
        std::cerr << "usage: varnetto-screenshot [--manager|--tree|--about|--help] "
                     "PICTURE-FOLDER OUTPUT.png | editor FOLDER\n";
        return 2;
    }
    initImaging(argv[0]);
    QApplication app(argc, argv);
    if (editorShots) {
        PrintingDialogs dialogs;
        return editorPages(dialogs, argv[2]);
    }
    const std::string folder = argv[argc - 2];
    const QString output = QString::fromLocal8Bit(argv[argc - 1]);
    if (mode == "--manager") return managerShot(app, output);
    if (mode == "--about" || mode == "--help") {
        QFont font = QApplication::font();
        font.setPointSize(10);  // as the program sets it
        QApplication::setFont(font);
        PrintingDialogs dialogs;
        DesktopLinkOpener links;
        if (mode == "--about") {
            AboutDialog about(links, dialogs);
            return saveDialog(app, about, output);
        }
        HelpTipsDialog help(links, dialogs);
        return saveDialog(app, help, output);
    }
    std::filesystem::create_directories(folder);
    if (mode == "--tree") {
        for (const char* sub : {"Family", "旅行 2023", "scans"}) {
            std::filesystem::create_directories(folder + "/" + sub);
        }
        writeScene(folder + "/旅行 2023/beach.jpg", 800, 600, 3);
    }
    const int sizes[][2] = {{1600, 1200}, {1920, 1080}, {900, 1200}, {2000, 1000},
                            {800, 600},   {1200, 1600}, {100, 50},   {1024, 768},
                            {3000, 2000}, {640, 640},   {1500, 900}, {1280, 720}};
    int seed = 0;
    for (const auto& size : sizes) {
        writeScene(folder + "/scene" + std::to_string(seed + 1) + (seed % 3 ? ".jpg" : ".png"),
                   size[0], size[1], seed);
        ++seed;
    }
    std::ofstream(folder + "/damaged.jpg") << "this is not a picture";

    PrintingDialogs dialogs;
    DialogRouter secondary(dialogs);
    MainWindow window(applicationFolder(), dialogs, secondary);
    // Xvfb has no window manager to maximize the window.
    window.setGeometry(window.screen()->availableGeometry());
    window.showMaximized();
    window.loadFolder(folder);
    QTimer poll;
    poll.setInterval(200);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto& list = window.imageList();
        for (int row = 0; row < list.rowCount(); ++row)
            if (!list.isRead(row)) return;
        poll.stop();
        auto* selection = window.findChild<ImageListView*>("imageList")->selectionModel();
        for (int row : {1, 4, 5}) selection->select(list.index(row), QItemSelectionModel::Select);
        window.runCommand(kLockSelected);
        selection->select(list.index(2), QItemSelectionModel::ClearAndSelect);
        if (mode == "--tree") revealInTree(*window.findChild<FolderTree*>("folderTree"), folder);
        QTimer::singleShot(1500, [&] {
            const QPixmap shot = window.screen()->grabWindow(0);
            const bool saved = shot.save(output);
            std::cerr << (saved ? "saved " : "could not save ") << output.toStdString() << "\n";
            app.exit(saved ? 0 : 1);
        });
    });
    poll.start();
    return QApplication::exec();
}
