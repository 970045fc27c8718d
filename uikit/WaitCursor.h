#pragma once

#include <QApplication>

namespace varnetto {

// The wait cursor for the life of a long command on the UI thread, restored
// on every way out of it.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace varnetto
