#pragma once

#include "schemes/Scheme.h"

#include <string>

class QWidget;

namespace varnetto {

// Where the main window's commands open the dialogs built elsewhere (scheme
// editor, manager and viewer, full-screen viewer, about, help). The main
// window makes every check and shows every message itself before it calls
// one of these.
class SecondaryDialogs {
  public:
    // Scheme editor modes.
    static constexpr int kNewScheme = 0;
    static constexpr int kEditScheme = 1;
    static constexpr int kSingleImage = 2;
    // Full-screen viewer modes.
    static constexpr int kBrowseRows = 0;
    static constexpr int kShowBitmap = 1;
    static constexpr int kLockedPreview = 2;

    virtual ~SecondaryDialogs() = default;
    // Returns the editor's result: 1 when the scheme was changed and kept.
    virtual int schemeEditor(QWidget* owner, int mode, const std::string& imagePath,
                             Scheme* scheme) = 0;
    virtual void schemeManager(QWidget* owner, const std::string& imagePath) = 0;
    virtual void schemeViewer(QWidget* owner) = 0;
    virtual void fullScreenViewer(QWidget* owner, int mode) = 0;
    // The viewer in its single-picture mode, showing the picture of path.
    virtual void fullScreenPicture(QWidget* owner, const std::string& path) = 0;
    virtual void about(QWidget* owner) = 0;
    virtual void help(QWidget* owner) = 0;
};

// The routing used until those dialogs exist: each call opens nothing.
class DialogsNotBuiltYet final : public SecondaryDialogs {
  public:
    int schemeEditor(QWidget*, int, const std::string&, Scheme*) override { return 0; }
    void schemeManager(QWidget*, const std::string&) override {}
    void schemeViewer(QWidget*) override {}
    void fullScreenViewer(QWidget*, int) override {}
    void fullScreenPicture(QWidget*, const std::string&) override {}
    void about(QWidget*) override {}
    void help(QWidget*) override {}
};

}  // namespace varnetto
