#pragma once

#include <QAccessible>
#include <QString>
#include <QStringList>

namespace vorn::app {

// A widget of the sidebar that offers assistive tools named actions (the words of its context
// menu), a value and a selected state. Its accessible name is the widget's accessibleName().
class AccessibleActions {
public:
    virtual ~AccessibleActions() = default;

    // QAccessibleActionInterface::pressAction() among them when a press does something.
    virtual QStringList accessibleActionNames() const = 0;
    // Unknown names do nothing.
    virtual void runAccessibleAction(const QString& name) = 0;
    virtual QString accessibleValue() const { return {}; }
    virtual bool accessibleSelected() const { return false; }
    virtual QAccessible::Role accessibleRole() const { return QAccessible::Button; }
};

// Registers the factory that shows such widgets to assistive tools through the interface above.
// Called by every such widget's constructor; registers once.
void installAccessibleActions();

}  // namespace vorn::app
