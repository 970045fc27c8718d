#pragma once

#include "editor/PictureBox.h"
#include "editor/SchemeEditorDialog.h"
#include "support/UiTestSupport.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <memory>
#include <optional>

namespace varnetto::testing {

// An editor on a generated picture, with recorded dialogs and viewer calls.
struct EditorFixture {
    explicit EditorFixture(int width = 400, int height = 300) {
        picture = dir.str("picture.png");
        writePicture(picture, width, height);
        outputFolder = dir.str("out");
        appFolder = dir.str();
    }

    SchemeEditorDialog& open(EditorMode mode, Scheme* scheme = nullptr,
                             const SchemeStore* store = nullptr) {
        EditorRequest request;
        request.mode = mode;
        request.imagePath = picture;
        request.appFolder = appFolder;
        request.scheme = scheme;
        request.store = store;
        request.nameExists = nameExists;
        request.openViewer = [this](QWidget*, const ViewerRequest& viewer) {
            viewed = viewer;
            return 2;
        };
        dialog = std::make_unique<SchemeEditorDialog>(std::move(request), dialogs);
        dialog->show();
        return *dialog;
    }

    template <class Widget>
    Widget* child(const char* name) const {
        Widget* found = dialog->findChild<Widget*>(name);
        if (!found) qFatal("no widget %s", name);
        return found;
    }
    QWidget* widget(const char* name) const { return child<QWidget>(name); }
    PictureBox* previewBox() const { return child<PictureBox>("previewBox"); }
    PictureBox* originalBox() const { return child<PictureBox>("originalBox"); }
    QTabWidget* tabs() const { return child<QTabWidget>("pages"); }
    void click(const char* name) const { child<QAbstractButton>(name)->click(); }

    // Waits for the next picture in the preview box.
    bool waitForPreview() {
        QSignalSpy shown(dialog.get(), &SchemeEditorDialog::previewShown);
        return shown.wait(20000);
    }

    // Runs change and waits until the preview shows the result of the change.
    template <class Change>
    bool renders(Change&& change) {
        QSignalSpy shown(dialog.get(), &SchemeEditorDialog::previewShown);
        change();
        return shown.count() > 0 || shown.wait(20000);
    }

    TempDir dir;
    std::string picture;
    std::string outputFolder;
    AppFolders appFolder;  // where Borders/ and Stamps/ are looked for
    RecordingDialogs dialogs;
    std::function<bool(const std::string&)> nameExists;
    std::optional<ViewerRequest> viewed;
    std::unique_ptr<SchemeEditorDialog> dialog;
};

// Saves the editor's pages into its scheme and returns that scheme.
inline Scheme saved(EditorFixture& f) {
    f.click("saveScheme");
    if (f.dialog->result() != 1) qFatal("not saved: %s", qPrintable(f.dialogs.messages.join('|')));
    return f.dialog->savedScheme();
}

// A scheme writing into folder.
inline Scheme schemeNamed(const std::string& name, const std::string& folder) {
    Scheme scheme;
    scheme.name = name;
    scheme.outputFolder = folder;
    return scheme;
}

}  // namespace varnetto::testing
