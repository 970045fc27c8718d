#pragma once

#include "app/MainWindow.h"
#include "app/StatusBarParts.h"
#include "app/UiTestSupport.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"

#include <QTest>

#include <memory>

namespace varnetto::testing {

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

    // Loads the pictures folder and waits until every row is read.
    bool loadPictures() {
        window->loadFolder(pictures);
        return QTest::qWaitFor(
            [this] {
                auto& list = window->imageList();
                for (int row = 0; row < list.rowCount(); ++row)
                    if (!list.isRead(row)) return false;
                return !window->rowLoader().busy();
            },
            20000);
    }

    void selectRows(std::initializer_list<int> rows) {
        // One selection change, as a click with modifiers would make.
        QItemSelection selection;
        for (int row : rows) {
            const QModelIndex index = window->imageList().index(row);
            selection.select(index, index);
        }
        window->imageListView()->selectionModel()->select(selection,
                                                          QItemSelectionModel::ClearAndSelect);
    }

    QString status(int part) const { return window->statusParts()->text(part); }

    TempDir app;
    std::string outputFolder;
    std::string pictures;
    RecordingDialogs dialogs;
    RecordingSecondaryDialogs secondary;
    std::unique_ptr<MainWindow> window;
};

}  // namespace varnetto::testing
