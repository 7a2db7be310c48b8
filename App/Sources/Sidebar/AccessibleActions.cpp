#include "AccessibleActions.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace vorn::app {
namespace {

// The dynamic property that carries a role given by setAccessibleRole().
constexpr char roleProperty[] = "vornAccessibleRole";

class ActionsAccessible final : public QAccessibleWidget {
public:
    ActionsAccessible(QWidget* widget, AccessibleActions& actions)
        : QAccessibleWidget(widget, actions.accessibleRole())
        , m_actions(actions) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return m_actions.accessibleValue();
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State result = QAccessibleWidget::state();
        m_actions.addAccessibleStates(result);
        return result;
    }

    QStringList actionNames() const override { return m_actions.accessibleActionNames(); }

    void doAction(const QString& name) override {
        if (isValid()) {
            m_actions.runAccessibleAction(name);
        }
    }

private:
    // The interface dies with the widget (Qt removes it when the object is destroyed).
    AccessibleActions& m_actions;
};

QAccessibleInterface* makeInterface(const QString&, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (auto* actions = dynamic_cast<AccessibleActions*>(widget)) {
        return new ActionsAccessible(widget, *actions);
    }
    const QVariant role = widget->property(roleProperty);
    if (role.isValid()) {
        return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
    }
    return nullptr;
}

}  // namespace

void installAccessibleActions() {
    static const bool installed = [] {
        QAccessible::installFactory(makeInterface);
        return true;
    }();
    (void)installed;
}

void setAccessibleRole(QWidget& widget, QAccessible::Role role) {
    installAccessibleActions();
    widget.setProperty(roleProperty, static_cast<int>(role));
}

}  // namespace vorn::app
