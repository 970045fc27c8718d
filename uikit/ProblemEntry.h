#pragma once

#include <QString>

namespace varnetto {

// How badly a picture fared: it failed, or it was done with a warning.
enum class ProblemKind { Failed, Warning };

// One line of a problem list: the file (or what stood for it) and why.
struct ProblemEntry {
    QString file;
    QString reason;
    ProblemKind kind = ProblemKind::Failed;
};

}  // namespace varnetto
