// What assistive tools (screen readers through AT-SPI) see of the toolkit's elements: every SWindow is
// represented by an accessible object with the element's role, name, value and states, and elements that
// react to a click offer the "press" action, which clicks them once the tool's request has returned.
#pragma once

#include <QAccessibleWidget>

namespace velorin::ui {

class SWindow;

class SWindowAccessible : public QAccessibleWidget {
public:
    explicit SWindowAccessible(SWindow* element);

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    SWindow* element() const;
    bool pressable() const;
};

// Makes Qt's accessibility use SWindowAccessible for every element; repeated calls do nothing.
void installAccessibleFactory();

} // namespace velorin::ui
