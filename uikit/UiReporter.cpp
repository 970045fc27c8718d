#include "uikit/UiReporter.h"

#include <QThread>
#include <QWidget>

#include <memory>
#include <optional>

namespace varnetto {

UiReporter::UiReporter(UserDialogs& dialogs, QWidget* owner) : dialogs_(dialogs), owner_(owner) {}

void UiReporter::message(std::string_view text, MessageKind kind) {
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (QThread::currentThread() == thread()) {
        dialogs_.message(owner_, shown, kind);
        return;
    }
    askFromWorker(shown, kind, false);
}

bool UiReporter::ask(std::string_view text, MessageKind kind) {
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (QThread::currentThread() == thread()) return dialogs_.ask(owner_, shown, kind);
    return askFromWorker(shown, kind, true);
}

void UiReporter::releaseWaitingWorkers() {
    {
        std::lock_guard lock(mutex_);
        releasing_ = true;
    }
    answered_.notify_all();
}

bool UiReporter::askFromWorker(const QString& text, MessageKind kind, bool question) {
    auto answer = std::make_shared<std::optional<bool>>();
    QMetaObject::invokeMethod(
        this,
        [this, text, kind, question, answer] {
            bool yes = true;
            if (question) {
                yes = dialogs_.ask(owner_, text, kind);
            } else {
                dialogs_.message(owner_, text, kind);
            }
            {
                std::lock_guard lock(mutex_);
                *answer = yes;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return releasing_ || answer->has_value(); });
    return answer->value_or(false);
}

}  // namespace varnetto
