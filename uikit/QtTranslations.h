#pragma once

class QCoreApplication;

namespace varnetto {

// Makes Qt's own texts (standard buttons, file dialogs, context menus of
// edits) Chinese, from the translations Qt installs, and its dates and sizes
// Chinese too. False when the translations are not installed; Qt's texts
// then stay English.
bool installQtChineseTranslation(QCoreApplication& application);

}  // namespace varnetto
