#pragma once

#include "app/BatchDialog.h"
#include "app/ImageCommands.h"
#include "app/MainWindow.h"
#include "app/SecondaryDialogs.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"
#include "browser/RowReader.h"
#include "processing/ImageFiles.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"
#include "uikit/StatusBarParts.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace varnetto::testing {

// Records which of the other windows a command opened and with what.
class RecordingSecondaryDialogs final : public SecondaryDialogs {
  public:
    int schemeEditor(QWidget*, const EditorRequest& request) override {
        calls << QString("editor %1 %2")
                     .arg(int(request.mode))
                     .arg(QString::fromStdString(request.imagePath));
        if (request.scheme && !renameTo.empty()) request.scheme->name = renameTo;
        return editorResult;
    }
    bool schemeManager(QWidget* owner, const ManagerRequest& request) override {
        calls << "manager " + QString::fromStdString(request.imagePath);
        return manager ? manager(owner, request) : false;
    }
    void schemeViewer(QWidget*, const SchemeViewerRequest& request) override {
        calls << "viewer";
        viewedScheme = request.scheme;
    }
    int fullScreenViewer(QWidget*, const ViewerRequest& request) override {
        if (request.mode == ViewerMode::ShowBitmap) {
            calls << "picture " + QString::fromStdString(request.picturePath);
        } else {
            calls << QString("full %1").arg(int(request.mode));
        }
        lastViewer = request;
        return 2;
    }
    void about(QWidget*) override { calls << "about"; }
    void help(QWidget*) override { calls << "help"; }

    QStringList calls;
    int editorResult = 0;
    // Stands in for the scheme manager when set; returns whether it saved.
    std::function<bool(QWidget*, const ManagerRequest&)> manager;
    std::string renameTo;
    ViewerRequest lastViewer;
    std::optional<Scheme> viewedScheme;
};

// Holds a stand-in disk's listings or reads until opened, as a slow disk or
// a dead network mount would.
class DiskGate {
  public:
    // On a pool thread.
    void pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        wake_.wait(lock, [this] { return open_; });
        --waiting_;
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        wake_.notify_all();
    }
    int waiting() {
        std::lock_guard lock(mutex_);
        return waiting_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool open_ = false;
    int waiting_ = 0;
};

// A main window on a temporary application folder holding a store with the
// given schemes, and a folder of pictures to load.
struct WindowFixture {
    explicit WindowFixture(const std::vector<std::string>& schemes = {"Alpha", "Beta"}) {
        outputFolder = app.str("out");
        writeSchemeStore(app.str(), schemes, outputFolder);
        pictures = app.str("pictures");
        std::filesystem::create_directories(pictures);
        window = std::make_unique<MainWindow>(app.str(), dialogs, secondary);
        window->resize(1000, 700);
    }

    // count pictures named 0.png, 1.png ... in the pictures folder.
    void writePictures(int count, int width = 64, int height = 48) {
        for (int i = 0; i < count; ++i) {
            writePicture(std::filesystem::path(pictures) / (std::to_string(i) + ".png"), width + i,
                         height);
        }
    }

    ~WindowFixture() {
        // Nothing may stay held while the window waits for its readers.
        for (const auto& gate : gates) gate->open();
    }

    // Loads the pictures folder and waits until every row is read.
    bool loadPictures() {
        window->loadFolder(pictures);
        return waitUntilRead();
    }

    // Waits until every row is read and no folder or file is on its way.
    bool waitUntilRead() {
        return QTest::qWaitFor(
            [this] {
                auto& list = window->imageList();
                for (int row = 0; row < list.rowCount(); ++row)
                    if (!list.isRead(row)) return false;
                return !window->rowLoader().busy();
            },
            20000);
    }

    // The list's folder listings and row reads first wait at these gates
    // (none: go at once).
    void holdDisk(std::shared_ptr<DiskGate> listings, std::shared_ptr<DiskGate> reads) {
        for (const auto& gate : {listings, reads})
            if (gate) gates.push_back(gate);
        window->findChild<ImageCommands*>()->setDiskAccess(
            [listings](const std::string& folder) {
                if (listings) listings->pass();
                return listFolderImages(folder);
            },
            [reads, art = artwork::thumbnailArt()](const std::string& folder,
                                                   const std::string& name) {
                if (reads) reads->pass();
                return readRow(folder, name, art);
            });
    }

    // Calls open, which opens the batch dialog (a folder batch's once the
    // folder is counted), and act once the dialog is up. True when act has
    // run and the dialog has closed.
    bool withBatchDialog(const std::function<void()>& open,
                         const std::function<void(BatchDialog&)>& act) {
        bool acted = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            BatchDialog& dialog = window->batchDialog();
            if (!dialog.isVisible()) return;
            poll.stop();
            act(dialog);
            acted = true;
        });
        poll.start();
        open();
        return QTest::qWaitFor([&] { return acted && !window->batchActive(); }, 60000);
    }

    void selectRows(std::initializer_list<int> rows) {
        // One selection change, as a click with modifiers would make.
        QItemSelection selection;
        for (int row : rows) {
            const QModelIndex index = window->imageList().index(row);
            selection.select(index, index);
        }
        listView()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }

    template <class Widget>
    Widget* child(const char* name) const {
        Widget* found = window->findChild<Widget*>(name);
        if (!found) qFatal("no widget %s", name);
        return found;
    }
    ImageListView* listView() const { return child<ImageListView>("imageList"); }
    QComboBox* schemeChoice() const { return child<QComboBox>("schemeChoice"); }
    QLabel* previewBox() const { return child<QLabel>("previewBox"); }
    StatusBarParts* statusBar() const { return child<StatusBarParts>("statusbar133"); }
    QToolBar* toolBar() const { return child<QToolBar>("toolbar103"); }
    QMenu* listMenu() const { return child<QMenu>("listContextMenu"); }
    QString status(int part) const { return statusBar()->text(part); }

    TempDir app;
    std::string outputFolder;
    std::string pictures;
    RecordingDialogs dialogs;
    RecordingSecondaryDialogs secondary;
    std::vector<std::shared_ptr<DiskGate>> gates;
    std::unique_ptr<MainWindow> window;
};

}  // namespace varnetto::testing
