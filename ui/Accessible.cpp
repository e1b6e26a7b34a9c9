#include "ui/Accessible.h"

#include "ui/SWindow.h"

#include <QPointer>

#include <mutex>

namespace velorin::ui {
namespace {

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* element = qobject_cast<SWindow*>(object))
        return new SWindowAccessible(element); // owned by Qt's accessibility cache
    return nullptr;
}

} // namespace

SWindowAccessible::SWindowAccessible(SWindow* element) : QAccessibleWidget(element) {}

SWindow* SWindowAccessible::element() const {
    return static_cast<SWindow*>(widget());
}

bool SWindowAccessible::pressable() const {
    return element()->commandOnClick();
}

QAccessible::Role SWindowAccessible::role() const {
    return element()->accessibleRole();
}

QAccessible::State SWindowAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    const SWindow* w = element();
    switch (w->accessibleRole()) {
    case QAccessible::PageTab:
        s.checkable = true;
        s.checked = w->isChecked();
        s.selectable = true;
        s.selected = w->isChecked();
        break;
    case QAccessible::MenuItem:
        // The menu's current row, which the keyboard moves.
        s.selectable = true;
        s.selected = w->isChecked();
        s.focused = w->isChecked();
        break;
    default:
        break;
    }
    s.pressed = w->isPushed() || w->accessiblePressed();
    return s;
}

QString SWindowAccessible::text(QAccessible::Text t) const {
    const SWindow* w = element();
    switch (t) {
    case QAccessible::Name:
        return w->accessibleName().isEmpty() ? w->accessibleText() : w->accessibleName();
    case QAccessible::Value:
        return w->accessibleValue();
    case QAccessible::Description:
        // AT-SPI has no text value for a button: the value travels as the description too.
        return w->accessibleDescription().isEmpty() ? w->accessibleValue() : w->accessibleDescription();
    default:
        return QAccessibleWidget::text(t);
    }
}

QStringList SWindowAccessible::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (pressable() && element()->isEnabled())
        names.prepend(pressAction());
    return names;
}

void SWindowAccessible::doAction(const QString& actionName) {
    if (actionName != pressAction() || !pressable()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    // The click may run a modal menu: let the tool's request return first.
    QPointer<SWindow> target(element());
    QMetaObject::invokeMethod(
        target,
        [target] {
            if (target)
                target->click();
        },
        Qt::QueuedConnection);
}

QStringList SWindowAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction() && pressable())
        return {QStringLiteral("Return"), QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

void installAccessibleFactory() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
}

} // namespace velorin::ui
