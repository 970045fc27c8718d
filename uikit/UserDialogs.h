#pragma once

#include "common/Reporter.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

class QWidget;

namespace varnetto {

// Every message box, question and file or folder picker the windows show.
// Tests put a recording implementation in its place.
class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    virtual void message(QWidget* owner, const QString& text, MessageKind kind) = 0;
    // Yes/No; true means Yes.
    virtual bool ask(QWidget* owner, const QString& text, MessageKind kind) = 0;
    // A folder, or "" when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& title) = 0;
    // One existing file, or "" when cancelled. filter uses Qt's ";;" form.
    virtual QString chooseOpenFile(QWidget* owner, const QString& filter,
                                   const QString& initialName) = 0;
    // A summary with a longer text the user may unfold.
    virtual void details(QWidget* owner, const QString& text, const QString& details) = 0;
    // A font (its weight on the 100-900 scale), or none when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) = 0;
    // A colour, or none when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) = 0;
};

// Message boxes captioned "Varnetto" and Qt's file, font and colour dialogs.
class QtUserDialogs final : public UserDialogs {
  public:
    void message(QWidget* owner, const QString& text, MessageKind kind) override;
    bool ask(QWidget* owner, const QString& text, MessageKind kind) override;
    QString chooseFolder(QWidget* owner, const QString& title) override;
    QString chooseOpenFile(QWidget* owner, const QString& filter,
                           const QString& initialName) override;
    void details(QWidget* owner, const QString& text, const QString& details) override;
    std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) override;
    std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) override;
};

}  // namespace varnetto
