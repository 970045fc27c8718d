// Screenshots on the running display (a virtual X display in scripts/screenshot),
// with a folder of generated pictures (one of them cut short, one not a
// picture at all). Usage: varnetto-screenshot MODE PICTURE-FOLDER OUTPUT
//   main       the main window maximized, the folder loaded, some rows
//              locked and one selected
//   window     the same, not maximized, at 1024 x 700
//   default    the same, at the window's own default size
//   tree       the main window with the folder tree opened down to the pictures
//   viewer     the selected picture (a photograph when one is installed) shown
//              full-screen, zoomed in and panned
//   scheme-viewer  the parameters of a bundled scheme
//   failures   the list of the pictures a folder batch could not process
//   open-file  the open-file dialog, opened a second time, so in the folder
//              of the first file chosen, with its list of filters open
//   manager    the scheme manager on the bundled schemes
//   about, help    that dialog alone
//   editor     each built page of the scheme editor; OUTPUT is then a folder
//   drop       the main window after several pictures were dropped on the list
#include "app/BatchDialog.h"
#include "app/CommandIds.h"
#include "app/DialogRouter.h"
#include "app/ImageCommands.h"
#include "app/MainWindow.h"
#include "app/SchemePanel.h"
#include "app/TreeWalk.h"
#include "browser/FolderTree.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"
#include "editor/BorderPiecesDialog.h"
#include "editor/SchemeEditorDialog.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "manager/SchemeManagerDialog.h"
#include "schemes/ReservedSettings.h"
#include "uikit/BackgroundJobs.h"
#include "uikit/DesktopTheme.h"
#include "uikit/ProblemListDialog.h"
#include "uikit/QtTranslations.h"
#include "viewer/AboutDialog.h"
#include "viewer/FullScreenViewer.h"
#include "viewer/HelpTipsDialog.h"
#include "viewer/LinkOpener.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <vector>

using namespace varnetto;

namespace {

// Prints what the program would say; a question is answered Yes, and the
// problem list is shown without waiting for it.
class ScreenshotDialogs final : public UserDialogs {
  public:
    void message(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
    }
    bool ask(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << " (yes)\n";
        return true;
    }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString chooseSaveFile(QWidget*, const QString&, const QString&) override { return {}; }
    bool openFolder(const QString&) override { return false; }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override { return std::nullopt; }
    void problemList(QWidget* owner, const QString& summary,
                     const std::vector<ProblemEntry>& entries) override {
        auto* list = new ProblemListDialog(summary, entries, desktop_, *this, owner);
        list->setAttribute(Qt::WA_DeleteOnClose);
        list->show();
    }

  private:
    QtDesktop desktop_;
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

void writePictures(const std::string& folder) {
    std::filesystem::create_directories(folder);
    const int sizes[][2] = {{1600, 1200}, {1920, 1080}, {900, 1200}, {2000, 1000},
                            {800, 600},   {1200, 1600}, {100, 50},   {1024, 768},
                            {3000, 2000}, {640, 640},   {1500, 900}, {1280, 720}};
    int seed = 0;
    for (const auto& size : sizes) {
        writeScene(folder + "/scene" + std::to_string(seed + 1) + (seed % 3 ? ".jpg" : ".png"),
                   size[0], size[1], seed);
        ++seed;
    }
    // A photograph whose second half never arrived, and a file that only
    // has a picture's name.
    const std::filesystem::path whole = folder + "/scene2.jpg";
    std::string bytes(std::filesystem::file_size(whole), '\0');
    std::ifstream(whole, std::ios::binary).read(bytes.data(), std::streamsize(bytes.size()));
    std::ofstream(folder + "/cut short.jpg", std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size() / 2));
    std::ofstream(folder + "/damaged.jpg") << "this is not a picture";
}

// Calls act once every row of the list is read.
void whenLoaded(MainWindow& window, std::function<void()> act) {
    auto* poll = new QTimer(&window);
    poll->setInterval(200);
    QObject::connect(poll, &QTimer::timeout, [&window, poll, act] {
        auto& list = *window.findChild<ImageListModel*>("imageRows");
        // The folder is listed in the background before its rows show.
        if (list.rowCount() == 0 || window.findChild<RowLoader*>("rowLoader")->busy()) return;
        for (int row = 0; row < list.rowCount(); ++row)
            if (!list.isRead(row)) return;
        poll->stop();
        act();
    });
    poll->start();
}

// Calls act on the next file dialog once it is up.
void onFileDialog(std::function<void(QFileDialog*)> act) {
    QTimer::singleShot(100, [act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return onFileDialog(act);
        act(dialog);
    });
}

bool save(const QPixmap& shot, const QString& output) {
    const bool saved = shot.save(output);
    std::cerr << (saved ? "saved " : "could not save ") << output.toStdString() << "\n";
    return saved;
}

QPixmap screen(const QWidget& window) {
    return window.screen()->grabWindow(0);
}

void showWindow(MainWindow& window) {
    window.move(0, 0);
    window.resize(1024, 700);
    window.show();
}

void lockAndSelect(MainWindow& window) {
    auto& list = *window.findChild<ImageListModel*>("imageRows");
    auto* selection = window.findChild<ImageListView*>("imageList")->selectionModel();
    for (int row : {1, 4, 5}) selection->select(list.index(row), QItemSelectionModel::Select);
    window.runCommand(kLockSelected);
    selection->select(list.index(2), QItemSelectionModel::ClearAndSelect);
}

// The open-file dialog twice: the first file chosen sets the folder the
// second one opens in, shown with its list of filters open.
void openFileShots(QApplication& app, MainWindow& window, const std::string& folder,
                   const QString& output) {
    onFileDialog([&window, folder](QFileDialog* first) {
        const QString chosen = QString::fromStdString(folder + "/scene1.png");
        first->setDirectory(QString::fromStdString(folder));
        first->findChild<QLineEdit*>("fileNameEdit")->setText("scene1.png");
        // The dialog may take the typed name a moment later.
        auto* poll = new QTimer(first);
        QObject::connect(poll, &QTimer::timeout, [first, chosen] {
            if (first->selectedFiles().value(0) == chosen) static_cast<QDialog*>(first)->accept();
        });
        poll->start(100);
    });
    window.runCommand(kAddFile);
    onFileDialog([&app, &window, output](QFileDialog* second) {
        second->resize(760, 460);
        second->findChild<QComboBox*>("fileTypeCombo")->showPopup();
        QTimer::singleShot(1000, [&app, &window, output, second] {
            app.exit(save(screen(window), output) ? 0 : 1);
            second->reject();
        });
    });
    window.runCommand(kAddFile);
}

// The scheme manager on the bundled store and sample picture, with the
// third scheme selected and its preview drawn.
int managerShot(QApplication& app, const QString& output) {
    QFont font = QApplication::font();
    font.setPointSize(10);  // as the program sets it
    QApplication::setFont(font);
    ScreenshotDialogs dialogs;
    ManagerRequest request;
    request.appFolder = std::string(VARNETTO_BIN_DIR);
    request.imagePath = std::string(VARNETTO_BIN_DIR) + "/Preview.jpg";
    SchemeManagerDialog dialog(dialogs, request);
    dialog.move(dialog.screen()->availableGeometry().center() - dialog.rect().center());
    dialog.show();
    dialog.findChild<QListWidget*>("schemeList")->setCurrentRow(2);
    const auto jobs = dialog.findChildren<BackgroundJobs*>();
    QTimer poll;
    poll.setInterval(200);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const BackgroundJobs* pending : jobs)
            if (pending->busy()) return;
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
    SchemeStore store(std::string(VARNETTO_BIN_DIR));
    SilentReporter silent;
    store.load(silent);
    const struct {
        const char* scheme;
        int page;
        const char* file;
        int captionSize = 0;   // tenths of a point; 0: as stored
        int captionShare = 0;  // of the picture's height, per ten thousand; 0: as stored
    } shots[] = {{"缩略图 50%", 0, "editor-general.png"},
                 {"网页发布 1600", 1, "editor-resize.png"},
                 {"网页发布 1600", 2, "editor-caption.png"},
                 {"网页发布 1600", 2, "editor-caption-48pt.png", 480},
                 {"网页发布 1600", 2, "editor-caption-scaled.png", 0, 800},
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
        Scheme shown = *scheme;
        if (shot.captionSize > 0) {
            shown.textEnabled = 1;
            shown.fontSize = shot.captionSize;
        }
        if (shot.captionShare > 0) {
            shown.textEnabled = 1;
            setReservedValue(shown, ReservedSettingId::CaptionHeight, shot.captionShare);
        }
        EditorRequest request;
        request.mode = EditorMode::EditScheme;
        request.imagePath = picture;
        request.appFolder = std::string(VARNETTO_BIN_DIR);
        request.scheme = &shown;
        request.store = &store;
        SchemeEditorDialog dialog(request, dialogs);
        QEventLoop rendering;
        // The predicted result comes after the preview: the shot shows both.
        QObject::connect(&dialog, &SchemeEditorDialog::predictionShown, &rendering,
                         &QEventLoop::quit);
        QTimer::singleShot(20000, &rendering, &QEventLoop::quit);
        dialog.show();
        dialog.showPage(shot.page);
        rendering.exec();
        QEventLoop settling;
        QTimer::singleShot(300, &settling, &QEventLoop::quit);
        settling.exec();
        const QString output = QString::fromStdString(folder + "/" + shot.file);
        QWidget* grabbed = &dialog;
        if (shot.page == SchemeEditorDialog::kPageCount - 1) {
            grabbed = dialog.page(shot.page);
            grabbed->resize(grabbed->sizeHint().expandedTo(QSize(400, 300)));
        }
        if (!grabbed->grab().save(output)) {
            std::cerr << "could not save " << output.toStdString() << "\n";
            return 1;
        }
        std::cerr << "saved " << output.toStdString() << " (" << grabbed->width() << " x "
                  << grabbed->height() << ")\n";
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

// A photograph of the mate-backgrounds package, when it is installed.
std::string installedPhotograph() {
    const std::filesystem::path photo = "/usr/share/backgrounds/mate/nature/Garden.jpg";
    std::error_code error;
    return std::filesystem::exists(photo, error) ? photo.string() : std::string();
}

// Saves the whole screen and ends the program.
void saveScreen(QApplication& app, QWidget& window, const QString& output) {
    const QPixmap shot = window.screen()->grabWindow(0);
    const bool saved = shot.save(output);
    std::cerr << (saved ? "saved " : "could not save ") << output.toStdString() << "\n";
    app.exit(saved ? 0 : 1);
}

// Zooms the full-screen viewer in twice and drags the picture a little.
void zoomIntoViewer(QWidget* viewer) {
    for (const char* name : {"viewer906", "viewer906"}) {
        if (auto* action = viewer->findChild<QAction*>(name)) action->trigger();
    }
    QWidget* area = viewer->findChild<QWidget*>("imageArea");
    if (!area) return;
    auto send = [area](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), area->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(area, &event);
    };
    const QPoint start = area->rect().center();
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(-300, -160), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + QPoint(-300, -160), Qt::NoButton);
}

// Drops the files on the list as a file manager's drag would end.
void dropOnList(MainWindow& window, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QWidget* list = window.findChild<ImageListView*>("imageList")->viewport();
    const QPoint at = list->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
    std::cerr << "drop of " << paths.size() << " files "
              << (drop.isAccepted() ? "taken" : "refused") << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> modes = {
        "main",      "window",  "default", "tree", "viewer", "scheme-viewer", "failures",
        "open-file", "manager", "about",   "help", "editor", "drop"};
    const std::string mode = argc == 4 ? argv[1] : "";
    if (std::find(modes.begin(), modes.end(), mode) == modes.end()) {
        std::cerr << "usage: varnetto-screenshot MODE PICTURE-FOLDER OUTPUT\n";
        return 2;
    }
    const std::string folder = argv[2];
    const QString output = QString::fromLocal8Bit(argv[3]);
    initImaging(argv[0]);
    QApplication app(argc, argv);
    followDesktopColours(app);  // as the program does
    installQtChineseTranslation(app);
    QFont font = QApplication::font();
    font.setPointSize(10);  // as the program sets it
    QApplication::setFont(font);

    ScreenshotDialogs printing;
    if (mode == "editor") return editorPages(printing, output.toStdString());
    if (mode == "manager") return managerShot(app, output);
    if (mode == "about" || mode == "help") {
        DesktopLinkOpener links;
        if (mode == "about") {
            AboutDialog about(links, printing,
                              "/home/user/.local/share/varnetto/Schemes/Schemes.bis");
            return saveDialog(app, about, output);
        }
        HelpTipsDialog help(links, printing);
        return saveDialog(app, help, output);
    }
    writePictures(folder);
    if (mode == "tree") {
        for (const char* sub : {"Family", "旅行 2023", "scans"}) {
            std::filesystem::create_directories(folder + "/" + sub);
        }
        writeScene(folder + "/旅行 2023/beach.jpg", 800, 600, 3);
    }
    QStringList dropped;
    for (int scene : {1, 2, 4, 5, 7, 9, 11})
        dropped << QString::fromStdString(folder + "/scene" + std::to_string(scene) +
                                          ((scene - 1) % 3 ? ".jpg" : ".png"));
    if (const std::string photo = installedPhotograph(); !photo.empty() && mode == "viewer")
        std::filesystem::copy_file(photo, folder + "/photo.jpg",
                                   std::filesystem::copy_options::overwrite_existing);

    QtUserDialogs real;
    UserDialogs& dialogs = mode == "open-file" ? static_cast<UserDialogs&>(real) : printing;
    DialogRouter secondary(dialogs);
    MainWindow window(VARNETTO_BIN_DIR, dialogs, secondary);
    if (mode == "window" || mode == "failures" || mode == "open-file") {
        showWindow(window);
    } else if (mode == "default") {
        window.move(0, 0);
        window.show();
    } else {
        // Xvfb has no window manager to maximize the window.
        window.setGeometry(window.screen()->availableGeometry());
        window.showMaximized();
    }

    if (mode == "failures") {
        QTimer::singleShot(0, [&] {
            BatchDialog& batch = *window.findChild<BatchDialog*>("batchDialog");
            auto* poll = new QTimer(&batch);
            poll->setInterval(200);
            // The dialog opens once the folder is counted.
            auto started = std::make_shared<bool>(false);
            QObject::connect(poll, &QTimer::timeout, [&, poll, started] {
                if (!batch.isVisible()) return;
                if (!*started) {
                    *started = true;
                    batch.start();
                    return;
                }
                if (batch.running() ||
                    !batch.findChild<QPushButton*>("failuresButton")->isVisible())
                    return;
                poll->stop();
                batch.findChild<QPushButton*>("failuresButton")->click();
                QTimer::singleShot(1000, [&] {
                    app.exit(save(screen(window), output) ? 0 : 1);
                    batch.done(0);
                });
            });
            poll->start();
            window.findChild<SchemePanel*>("schemePanel")->startFolderBatch(folder);
        });
        return QApplication::exec();
    }
    if (mode == "drop") {
        dropOnList(window, dropped);
    } else {
        window.findChild<ImageCommands*>("imageCommands")->loadFolder(folder);
    }
    whenLoaded(window, [&] {
        if (mode == "drop") {
            auto& list = *window.findChild<ImageListModel*>("imageRows");
            window.findChild<ImageListView*>("imageList")
                ->selectionModel()
                ->select(list.index(2), QItemSelectionModel::ClearAndSelect);
            QTimer::singleShot(1500, [&] { saveScreen(app, window, output); });
            return;
        }
        lockAndSelect(window);
        if (mode == "window" || mode == "default") {
            QTimer::singleShot(1500, [&] { app.exit(save(window.grab(), output) ? 0 : 1); });
        } else if (mode == "open-file") {
            openFileShots(app, window, folder, output);
        } else if (mode == "viewer") {
            auto& list = *window.findChild<ImageListModel*>("imageRows");
            auto* selection = window.findChild<ImageListView*>("imageList")->selectionModel();
            for (int row = 0; row < list.rowCount(); ++row)
                if (list.rowPath(row).ends_with("/photo.jpg"))
                    selection->select(list.index(row), QItemSelectionModel::ClearAndSelect);
            // The viewer is modal: it is worked from timers while it runs.
            QTimer::singleShot(1500, [&] {
                if (QWidget* viewer = QApplication::activeModalWidget()) zoomIntoViewer(viewer);
            });
            QTimer::singleShot(3500, [&] { saveScreen(app, window, output); });
            window.runCommand(kFullScreen);
        } else if (mode == "scheme-viewer") {
            auto* choice = window.findChild<QComboBox*>("schemeChoice");
            const int framed = choice->findText(QString::fromUtf8("相框打印"));
            if (framed >= 0) choice->setCurrentIndex(framed);
            QTimer::singleShot(1000, [&] { saveScreen(app, window, output); });
            window.runCommand(kQuickView);
        } else {
            if (mode == "tree") revealInTree(*window.findChild<FolderTree*>("folderTree"), folder);
            QTimer::singleShot(1500, [&] { saveScreen(app, window, output); });
        }
    });
    return QApplication::exec();
}
