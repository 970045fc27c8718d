#pragma once

#include "uikit/BackgroundJobs.h"
#include "uikit/WaitCursor.h"

#include <QObject>

#include <functional>
#include <optional>
#include <utility>

namespace varnetto {

// Looks at the disk that a command waits for before it goes on: a file
// checked before a window opens on it, a folder counted, checked or made.
// They run in the background, so that a dead network mount never freezes the
// window. Only the newest look goes on: one asked for while another is under
// way drops it, and one stuck is left behind. The wait cursor shows
// meanwhile, when asked for; a look that fails goes no further.
class DiskLooks : public QObject {
    Q_OBJECT
  public:
    enum class Cursor { Wait, None };

    explicit DiskLooks(Cursor cursor, QObject* parent = nullptr);

    // find must own all it uses; then runs on the owner's thread.
    template <typename Found>
    void look(std::function<Found()> find, std::function<void(Found)> then) {
        begin();
        jobs_.run<Found>(
            [find = std::move(find), hold = hold_](const JobToken&) {
                if (hold) hold();
                return find();
            },
            [this, then = std::move(then)](Found found) {
                end();
                then(std::move(found));
            },
            [this](const QString&) { end(); });
    }
    // Drops the look under way.
    void cancel();
    // Runs on the pool thread before every look asked for from now on;
    // tests stand in a slow disk there.
    void setHold(std::function<void()> hold) { hold_ = std::move(hold); }

  private:
    void begin();
    void end();

    Cursor cursor_;
    std::optional<WaitCursor> waitCursor_;
    std::function<void()> hold_;
    BackgroundJobs jobs_;
};

}  // namespace varnetto
