#pragma once

#include <QString>

namespace varnetto {

// The program's own texts are written in the sources as UTF-8.
inline QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace varnetto
