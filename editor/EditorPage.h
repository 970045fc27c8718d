#pragma once

#include "editor/EditorRequest.h"
#include "schemes/Scheme.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

namespace varnetto {

class SchemePreviewService;
class SchemeStore;
class UserDialogs;

// What the next click on the preview sets.
enum class PositionPick : int { None = 0, TextPosition = 1, StampPosition = 2 };

// A value typed into a page that cannot be stored: the control holding it
// and the message that names the field and what it accepts.
struct FieldRefusal {
    QWidget* field = nullptr;
    QString message;
};

// What the scheme editor's frame offers its pages.
class EditorFrame {
  public:
    virtual ~EditorFrame() = default;

    // Where stamps and borders are looked for: AppFolders::lookupOrder().
    virtual const AppFolders& appFolder() const = 0;
    virtual UserDialogs& dialogs() = 0;
    // The scheme the dialog was opened on; none for a new scheme and for a
    // single picture opened without one.
    virtual const Scheme* editedScheme() const = 0;
    // The stored schemes the general page offers to copy from, or none.
    virtual const SchemeStore* store() const = 0;
    // Shows a stop message unless this dialog has shown the same text before:
    // a missing or broken stamp or border file is named once, not at every
    // refresh.
    virtual void reportOnce(const QString& message) = 0;

    // Renders the preview again from the pages (nothing while refreshes are
    // off: while the pages are built or loaded).
    virtual void refreshPreview() = 0;
    virtual bool refreshEnabled() const = 0;
    virtual void setRefreshEnabled(bool enabled) = 0;
    // Writes every page from scheme with refreshes off.
    virtual void loadPages(const Scheme& scheme) = 0;

    // The next click inside the preview's picture calls place with the
    // click's fractions (0-1) of the width and height of the picture shown
    // (a picture turned a quarter shows its sides exchanged). A tab change
    // or a new pick disarms it.
    virtual void armPositionPick(PositionPick pick, std::function<void(double, double)> place) = 0;
    virtual PositionPick positionPick() const = 0;

    // The picture the dialog shows and processes.
    virtual const std::string& sourcePath() const = 0;
    // Renders previews of that picture for the pages, and names what they
    // leave out once for the whole dialog.
    virtual SchemePreviewService& previews() = 0;
};

// Refreshes off for a scope; the previous state comes back after it.
class RefreshPause {
  public:
    explicit RefreshPause(EditorFrame& frame) : frame_(frame), saved_(frame.refreshEnabled()) {
        frame_.setRefreshEnabled(false);
    }
    ~RefreshPause() { frame_.setRefreshEnabled(saved_); }
    RefreshPause(const RefreshPause&) = delete;
    RefreshPause& operator=(const RefreshPause&) = delete;

  private:
    EditorFrame& frame_;
    bool saved_;
};

// One page of the scheme editor. The frame loads every page from a scheme
// and reads every page into one, in page order; a page touches only the
// fields it edits.
class EditorPage : public QWidget {
    Q_OBJECT
  public:
    EditorPage(EditorFrame& frame, QWidget* parent) : QWidget(parent), frame_(frame) {}

    // The page's tab text; empty for a page without a tab.
    virtual QString title() const = 0;
    virtual void load(const Scheme& scheme) = 0;
    // Writes the page's fields into scheme, or says which typed value cannot
    // be stored (scheme may then be half written).
    virtual std::optional<FieldRefusal> read(Scheme& scheme) const = 0;

  protected:
    EditorFrame& frame() const { return frame_; }

  private:
    EditorFrame& frame_;
};

}  // namespace varnetto
