#pragma once

#include "common/Reporter.h"
#include "uikit/UserDialogs.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <mutex>

namespace varnetto {

// The core's reporter for the windows. Called on the UI thread it shows the
// message at once; called from a worker it hands the message to the UI
// thread and holds the worker until the user has answered.
class UiReporter final : public QObject, public Reporter {
    Q_OBJECT
  public:
    UiReporter(UserDialogs& dialogs, QWidget* owner);

    void message(std::string_view text, MessageKind kind) override;
    bool ask(std::string_view text, MessageKind kind) override;

    // Workers waiting for an answer give up (No) at once instead of waiting
    // for a UI thread that is about to wait for them; later ones do not wait.
    void releaseWaitingWorkers();

  private:
    bool askFromWorker(const QString& text, MessageKind kind, bool question);

    std::mutex mutex_;
    std::condition_variable answered_;
    bool releasing_ = false;
    UserDialogs& dialogs_;
    QPointer<QWidget> owner_;
};

}  // namespace varnetto
