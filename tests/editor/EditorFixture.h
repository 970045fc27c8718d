#pragma once

#include "editor/PictureBox.h"
#include "editor/SchemeEditorDialog.h"
#include "support/UiTestSupport.h"
#include "uikit/BackgroundJobs.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <algorithm>
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
        request.previewCache = previewCache;
        dialog = std::make_unique<SchemeEditorDialog>(std::move(request), dialogs);
        // The picture is read in the background; previews may follow at once.
        QSignalSpy sourceShown(dialog.get(), &SchemeEditorDialog::sourceShown);
        previews = std::make_unique<QSignalSpy>(dialog.get(), &SchemeEditorDialog::previewShown);
        previewsSeen = 0;
        dialog->show();
        if (!sourceShown.wait(20000)) qFatal("the editor's picture never showed");
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
    // Clicks a button and waits for what it started in the background.
    void click(const char* name) const {
        child<QAbstractButton>(name)->click();
        settle();
    }
    void settle() const {
        const auto jobs = dialog->findChildren<BackgroundJobs*>();
        const bool idle = QTest::qWaitFor(
            [&jobs] {
                return std::none_of(jobs.begin(), jobs.end(),
                                    [](const BackgroundJobs* j) { return j->busy(); });
            },
            20000);
        if (!idle) qFatal("the editor's background work never ended");
    }

    // Waits for the next picture in the preview box not waited for yet (the
    // first after opening may have come already).
    bool waitForPreview() {
        if (previews->count() <= previewsSeen && !previews->wait(20000)) return false;
        previewsSeen = static_cast<int>(previews->count());
        return true;
    }

    // Runs change and waits until the preview shows the result of the change.
    template <class Change>
    bool renders(Change&& change) {
        QSignalSpy shown(dialog.get(), &SchemeEditorDialog::previewShown);
        change();
        const bool rendered = shown.count() > 0 || shown.wait(20000);
        previewsSeen = static_cast<int>(previews->count());
        return rendered;
    }

    TempDir dir;
    std::string picture;
    std::string outputFolder;
    AppFolders appFolder;  // where Borders/ and Stamps/ are looked for
    RecordingDialogs dialogs;
    std::function<bool(const std::string&)> nameExists;
    std::optional<ViewerRequest> viewed;
    // The decoded pictures the editor is given, or none (its own).
    std::shared_ptr<PreviewCache> previewCache;
    std::unique_ptr<SchemeEditorDialog> dialog;
    std::unique_ptr<QSignalSpy> previews;  // previewShown since the dialog opened
    int previewsSeen = 0;
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
