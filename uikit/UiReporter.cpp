#include "uikit/UiReporter.h"

#include <QThread>
#include <QWidget>

#include <chrono>
#include <future>
#include <memory>

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

bool UiReporter::askFromWorker(const QString& text, MessageKind kind, bool question) {
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> result = answer->get_future();
    QMetaObject::invokeMethod(
        this,
        [this, text, kind, question, answer] {
            if (question) {
                answer->set_value(dialogs_.ask(owner_, text, kind));
            } else {
                dialogs_.message(owner_, text, kind);
                answer->set_value(true);
            }
        },
        Qt::QueuedConnection);
    using namespace std::chrono_literals;
    while (result.wait_for(50ms) != std::future_status::ready) {
        if (releasing_) return false;
    }
    return result.get();
}

}  // namespace varnetto
