// Screenshots of the program on the running display, with a folder of
// generated pictures (one of them cut short, one not a picture at all):
//   window     the main window, not maximized, at 1024 x 700, with the folder
//              loaded, some rows locked and one selected
//   failures   the list of the pictures a folder batch could not process
//   open-file  the open-file dialog, opened a second time, so in the folder
//              of the first file chosen, with its list of filters open
#include "app/BatchDialog.h"
#include "app/CommandIds.h"
#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "browser/ImageListView.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "uikit/ProblemListDialog.h"
#include "uikit/QtTranslations.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

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
        auto& list = window.imageList();
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
    auto& list = window.imageList();
    auto* selection = window.findChild<ImageListView*>("imageList")->selectionModel();
    for (int row : {1, 4, 5}) selection->select(list.index(row), QItemSelectionModel::Select);
    window.runCommand(kLockSelected);
    selection->select(list.index(2), QItemSelectionModel::ClearAndSelect);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string usage =
        "usage: varnetto-screenshot window|failures|open-file PICTURE-FOLDER OUTPUT.png\n";
    if (argc != 4) {
        std::cerr << usage;
        return 2;
    }
    const std::string mode = argv[1];
    const std::string folder = argv[2];
    const QString output = QString::fromLocal8Bit(argv[3]);
    initImaging(argv[0]);
    QApplication app(argc, argv);
    installQtChineseTranslation(app);
    QFont font = QApplication::font();
    font.setPointSize(10);
    QApplication::setFont(font);
    writePictures(folder);

    ScreenshotDialogs printing;
    QtUserDialogs real;
    UserDialogs& dialogs = mode == "open-file" ? static_cast<UserDialogs&>(real) : printing;
    DialogRouter secondary(dialogs);
    MainWindow window(VARNETTO_BIN_DIR, dialogs, secondary);
    showWindow(window);

    if (mode == "window") {
        window.loadFolder(folder);
        whenLoaded(window, [&] {
            lockAndSelect(window);
            QTimer::singleShot(1500, [&] { app.exit(save(window.grab(), output) ? 0 : 1); });
        });
    } else if (mode == "failures") {
        QTimer::singleShot(0, [&] {
            BatchDialog& batch = window.batchDialog();
            auto* poll = new QTimer(&batch);
            poll->setInterval(200);
            QObject::connect(poll, &QTimer::timeout, [&, poll] {
                if (batch.running() || !batch.failuresButton()->isVisible()) return;
                poll->stop();
                batch.failuresButton()->click();
                QTimer::singleShot(1000, [&] {
                    app.exit(save(screen(window), output) ? 0 : 1);
                    batch.done(0);
                });
            });
            poll->start();
            QTimer::singleShot(0, &batch, &BatchDialog::start);
            window.startFolderBatch(folder);
        });
    } else if (mode == "open-file") {
        window.loadFolder(folder);
        whenLoaded(window, [&] {
            lockAndSelect(window);
            // The first file chosen sets the folder the second dialog opens in.
            onFileDialog([&](QFileDialog* first) {
                const QString chosen = QString::fromStdString(folder + "/scene1.png");
                first->setDirectory(QString::fromStdString(folder));
                first->findChild<QLineEdit*>("fileNameEdit")->setText("scene1.png");
                // The dialog may take the typed name a moment later.
                auto* poll = new QTimer(first);
                QObject::connect(poll, &QTimer::timeout, [first, chosen] {
                    if (first->selectedFiles().value(0) == chosen)
                        static_cast<QDialog*>(first)->accept();
                });
                poll->start(100);
            });
            window.runCommand(kAddFile);
            onFileDialog([&](QFileDialog* second) {
                second->resize(760, 460);
                second->findChild<QComboBox*>("fileTypeCombo")->showPopup();
                QTimer::singleShot(1000, [&, second] {
                    app.exit(save(screen(window), output) ? 0 : 1);
                    second->reject();
                });
            });
            window.runCommand(kAddFile);
        });
    } else {
        std::cerr << usage;
        return 2;
    }
    return QApplication::exec();
}
