#pragma once

#include <QAccessible>
#include <QString>
#include <QStringList>

class QWidget;

namespace vorn::app {

// A widget of the sidebar that offers assistive tools named actions (the words of its context
// menu), a value and states of its own. Its accessible name and description are the widget's
// accessibleName() and accessibleDescription().
class AccessibleActions {
public:
    virtual ~AccessibleActions() = default;

    // QAccessibleActionInterface::pressAction() among them when a press does something.
    virtual QStringList accessibleActionNames() const = 0;
    // Unknown names do nothing.
    virtual void runAccessibleAction(const QString& name) = 0;
    virtual QString accessibleValue() const { return {}; }
    // Adds the states the widget itself knows (active, expanded) to those of any widget.
    virtual void addAccessibleStates(QAccessible::State& state) const { (void)state; }
    virtual QAccessible::Role accessibleRole() const { return QAccessible::Button; }
};

// Registers the factory that shows such widgets to assistive tools through the interface above.
// Called by every such widget's constructor; registers once.
void installAccessibleActions();

// Shows a plain widget to assistive tools in the given role (a window, a dialog, a list), with
// the widget's own name and description. Call before anything asks for the widget's interface.
void setAccessibleRole(QWidget& widget, QAccessible::Role role);

}  // namespace vorn::app
