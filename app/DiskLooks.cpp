#include "app/DiskLooks.h"

namespace varnetto {

namespace {

// Looks side by side, so that a few stuck on dead mounts leave room for the
// next.
constexpr int kSideBySide = 4;

}  // namespace

DiskLooks::DiskLooks(Cursor cursor, QObject* parent)
    : QObject(parent),
      cursor_(cursor),
      jobs_(JobOrder::AllInOrder, kSideBySide, JobShutdown::Abandon) {}

void DiskLooks::cancel() {
    jobs_.cancelAll();
    waitCursor_.reset();
}

void DiskLooks::begin() {
    jobs_.cancelAll();
    if (cursor_ == Cursor::Wait && !waitCursor_) waitCursor_.emplace();
}

void DiskLooks::end() {
    waitCursor_.reset();
}

}  // namespace varnetto
