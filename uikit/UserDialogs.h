#pragma once

#include "common/Reporter.h"
#include "uikit/Desktop.h"
#include "uikit/ProblemEntry.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>
#include <vector>

class QWidget;

namespace varnetto {

// Every message box, question, list of problems and file or folder picker
// the windows show. Tests put a recording implementation in its place.
class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    virtual void message(QWidget* owner, const QString& text, MessageKind kind) = 0;
    // Yes/No; true means Yes.
    virtual bool ask(QWidget* owner, const QString& text, MessageKind kind) = 0;
    // A folder, or "" when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& title) = 0;
    // One existing file, or "" when cancelled. filter uses Qt's ";;" form;
    // the dialog shows each filter's name without its patterns.
    virtual QString chooseOpenFile(QWidget* owner, const QString& filter,
                                   const QString& initialName) = 0;
    // A file to write, or "" when cancelled; an existing one is replaced
    // only when the user agreed.
    virtual QString chooseSaveFile(QWidget* owner, const QString& filter,
                                   const QString& initialName) = 0;
    // Shows folder in the desktop's file manager; false when it could not.
    virtual bool openFolder(const QString& folder) = 0;
    // The pictures a run could not process (or processed with a warning),
    // each with its reason, under a summary.
    virtual void problemList(QWidget* owner, const QString& summary,
                             const std::vector<ProblemEntry>& entries) = 0;
    // A font (its weight on the 100-900 scale), or none when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) = 0;
    // A colour, or none when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) = 0;
};

// Message boxes captioned "Varnetto", the problem list and Qt's own file,
// font and colour dialogs (never the platform's, so they speak the program's
// language). The file pickers start in the folder last used in them.
class QtUserDialogs final : public UserDialogs {
  public:
    // Where the pickers start: the folder last chosen, and the folder of the
    // last file chosen; kept by the program between starts.
    struct PickerFolders {
        QString folder;
        QString fileFolder;
    };
    PickerFolders pickerFolders() const { return {lastFolder_, lastFileFolder_}; }
    void setPickerFolders(const PickerFolders& folders) {
        lastFolder_ = folders.folder;
        lastFileFolder_ = folders.fileFolder;
    }

    void message(QWidget* owner, const QString& text, MessageKind kind) override;
    bool ask(QWidget* owner, const QString& text, MessageKind kind) override;
    QString chooseFolder(QWidget* owner, const QString& title) override;
    QString chooseOpenFile(QWidget* owner, const QString& filter,
                           const QString& initialName) override;
    QString chooseSaveFile(QWidget* owner, const QString& filter,
                           const QString& initialName) override;
    bool openFolder(const QString& folder) override { return desktop_.openFolder(folder); }
    void problemList(QWidget* owner, const QString& summary,
                     const std::vector<ProblemEntry>& entries) override;
    std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) override;
    std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) override;

  private:
    QtDesktop desktop_;
    QString lastFolder_;      // last folder chosen
    QString lastFileFolder_;  // folder of the last file chosen
};

}  // namespace varnetto
