#include "uikit/Desktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace varnetto {

bool QtDesktop::openFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace varnetto
