#include "AccessibleActions.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace vorn::app {
namespace {

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
        result.selected = m_actions.accessibleSelected();
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

}  // namespace vorn::app
