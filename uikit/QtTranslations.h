#pragma once

class QCoreApplication;

namespace varnetto {

// Makes Qt's own texts (standard buttons, file dialogs, context menus of
// edits) Chinese, from the translations Qt installs. False when they are
// not installed; Qt then speaks English.
bool installQtChineseTranslation(QCoreApplication& application);

}  // namespace varnetto
