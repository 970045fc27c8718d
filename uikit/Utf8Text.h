#pragma once

#include <QString>

#include <string_view>

namespace varnetto {

// The program's own texts are written in the sources as UTF-8.
inline QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

inline QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace varnetto
