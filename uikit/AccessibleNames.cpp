#include "uikit/AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextEdit>

namespace varnetto {

namespace {

// Widgets a user operates or reads a value from; Qt's own parts of them
// (a spin box's edit, a view's scroll bars, headers and corner button) are
// named through their owner.
bool isControl(const QWidget* widget) {
    if (widget->objectName().startsWith(QLatin1String("qt_"))) return false;
    if (qobject_cast<const QScrollBar*>(widget)) return false;
    for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QComboBox*>(up) ||
            qobject_cast<const QAbstractItemView*>(up))
            return false;
    }
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QProgressBar*>(widget);
}

QString effectiveName(QWidget* widget) {
    if (!widget->accessibleName().isEmpty()) return widget->accessibleName();
    // Qt reads out a drop-down list's current entry as its name: that is its
    // value, and says nothing of what the list is for.
    if (qobject_cast<const QComboBox*>(widget)) return {};
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name).trimmed() : QString();
}

QString labelText(const QLabel* label) {
    QString text = label->text();
    text.remove(QLatin1Char('&'));
    return text.trimmed();
}

}  // namespace

void nameControlsForAssistiveTools(QWidget* root) {
    QHash<const QWidget*, QString> buddies;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (label->buddy() && !labelText(label).isEmpty())
            buddies.insert(label->buddy(), labelText(label));
    }
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!isControl(widget) || !widget->accessibleName().isEmpty()) continue;
        // A label names its control even where Qt would read out the value
        // (a drop-down list's current entry).
        if (buddies.contains(widget)) {
            widget->setAccessibleName(buddies.value(widget));
        } else if (effectiveName(widget).isEmpty() && !widget->toolTip().isEmpty()) {
            widget->setAccessibleName(widget->toolTip());
        }
    }
}

QStringList controlsWithoutAccessibleName(const QWidget* root) {
    QStringList unnamed;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (isControl(widget) && effectiveName(widget).isEmpty())
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + "#" +
                           widget->objectName();
    }
    return unnamed;
}

}  // namespace varnetto
