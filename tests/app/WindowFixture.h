#pragma once

#include "app/BatchDialog.h"
#include "app/DiskLooks.h"
#include "app/ImageCommands.h"
#include "app/MainWindow.h"
#include "app/SchemePanel.h"
#include "app/SecondaryDialogs.h"
#include "app/Session.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"
#include "browser/RowReader.h"
#include "processing/ImageFiles.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"
#include "uikit/StatusBarParts.h"

#include <QApplication>
#include <QCheckBox>
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
    std::optional<std::vector<std::string>> schemeChoice(
        QWidget*, const SchemeChoiceRequest& request) override {
        calls << "schemes";
        lastSchemeChoice = request;
        return chosenSchemes;
    }
    void about(QWidget*) override { calls << "about"; }
    void help(QWidget*) override { calls << "help"; }

    QStringList calls;
    SchemeChoiceRequest lastSchemeChoice;
    std::optional<std::vector<std::string>> chosenSchemes;  // none: cancelled
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
        QObject::connect(&session(), &Session::previewPathChanged, window.get(),
                         [this](const QString& path) { previewPathShown = path; });
        QObject::connect(&session(), &Session::previewReady, window.get(),
                         [this] { previewsDrawn << previewPathShown; });
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
        images().loadFolder(pictures);
        return waitUntilRead();
    }

    // Waits until every row is read and no folder or file is on its way.
    bool waitUntilRead() {
        return QTest::qWaitFor(
            [this] {
                for (int row = 0; row < list().rowCount(); ++row)
                    if (!list().isRead(row)) return false;
                return !rowLoader().busy();
            },
            20000);
    }

    // The list's folder listings and row reads first wait at these gates
    // (none: go at once).
    void holdDisk(std::shared_ptr<DiskGate> listings, std::shared_ptr<DiskGate> reads) {
        for (const auto& gate : {listings, reads})
            if (gate) gates.push_back(gate);
        images().setDiskAccess(
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

    // The window's looks at the disk before a command goes on (a file
    // before a window opens on it, a tree item's facts, a folder to count or
    // an output folder) first wait at this gate.
    void holdLooks(std::shared_ptr<DiskGate> looks) {
        gates.push_back(looks);
        for (DiskLooks* each : window->findChildren<DiskLooks*>())
            each->setHold([looks] { looks->pass(); });
    }

    // Waits until no look at the disk holds a command back any more and the
    // command has gone on: the wait cursor has gone.
    bool waitForLooks() {
        return QTest::qWaitFor([] { return !QApplication::overrideCursor(); }, 20000);
    }

    // Calls open, which opens the batch dialog (a folder batch's once the
    // folder is counted), and act once the dialog is up. True when act has
    // run and the dialog has closed.
    bool withBatchDialog(const std::function<void()>& open,
                         const std::function<void(BatchDialog&)>& act) {
        bool acted = false;
        BatchDialog* dialog = batchDialog();
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!dialog->isVisible()) return;
            poll.stop();
            act(*dialog);
            acted = true;
        });
        poll.start();
        open();
        return QTest::qWaitFor([&] { return acted && !dialog->isVisible(); }, 60000);
    }

    // Runs the batch open starts to its end with the dialog kept open, then
    // closes it. The picture count the dialog showed, or "" when it did not
    // run through.
    QString runBatchToTheEnd(const std::function<void()>& open) {
        QString shownCount;
        bool finished = false;
        const bool ran = withBatchDialog(open, [&](BatchDialog& dialog) {
            shownCount = dialog.findChild<QLabel*>("imageCountLabel")->text();
            dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
            dialog.start();
            finished = QTest::qWaitFor(
                [&] {
                    return dialog.findChild<QLabel*>("statusLabel")->text() ==
                           QString("处理完成。");
                },
                30000);
            dialog.findChild<QPushButton*>("closeButton")->click();
        });
        return ran && finished ? shownCount : QString();
    }

    void selectRows(std::initializer_list<int> rows) {
        // One selection change, as a click with modifiers would make.
        QItemSelection selection;
        for (int row : rows) {
            const QModelIndex index = list().index(row);
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
    BatchDialog* batchDialog() const { return child<BatchDialog>("batchDialog"); }
    QString status(StatusPart part) const { return statusBar()->text(part); }
    // The window's parts that are no widgets.
    Session& session() const { return *child<Session>("session"); }
    ImageListModel& list() const { return *child<ImageListModel>("imageRows"); }
    ImageCommands& images() const { return *child<ImageCommands>("imageCommands"); }
    SchemePanel& panel() const { return *child<SchemePanel>("schemePanel"); }
    RowLoader& rowLoader() const { return *child<RowLoader>("rowLoader"); }
    // The picture the preview box last waited for, as the session told.
    QString previewPath() const { return previewPathShown; }

    TempDir app;
    std::string outputFolder;
    std::string pictures;
    RecordingDialogs dialogs;
    RecordingSecondaryDialogs secondary;
    std::vector<std::shared_ptr<DiskGate>> gates;
    QString previewPathShown;
    // The pictures the preview box has drawn, in order.
    QStringList previewsDrawn;
    std::unique_ptr<MainWindow> window;
};

}  // namespace varnetto::testing
