#pragma once

#include <QString>

namespace varnetto {

// Shows summary and body as a desktop notification (freedesktop
// notifications over the session bus). Sent without waiting for an answer:
// with no bus or no notification service nothing happens and nothing is
// reported.
void notifyDesktop(const QString& summary, const QString& body);

}  // namespace varnetto
