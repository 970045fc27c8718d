#include "app/ToolTipDelay.h"

#include "app/MainWindow.h"

#include <QApplication>
#include <QProxyStyle>

namespace varnetto {

namespace {

class MainWindowToolTipStyle final : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_ToolTip_WakeUpDelay && widget &&
            qobject_cast<const MainWindow*>(widget->window()))
            return 100;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

}  // namespace

void installMainWindowToolTipDelay() {
    if (dynamic_cast<MainWindowToolTipStyle*>(QApplication::style())) return;
    // The application takes the style; the proxy wraps the style in use.
    QApplication::setStyle(new MainWindowToolTipStyle(QApplication::style()->name()));
}

}  // namespace varnetto
