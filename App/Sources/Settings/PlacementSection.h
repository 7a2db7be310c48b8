#pragma once

#include <memory>

#include <QWidget>

#include "Observation.h"
#include "SidebarModel.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;

namespace vorn::app {

// "Window placement": how a window is placed when its tab is clicked, as three choices bound to
// the sidebar model, with a help text for the mode that is set. A choice is the model's change:
// it is logged, reported and saved there.
class PlacementSection final : public QWidget {
    Q_OBJECT

public:
    explicit PlacementSection(std::shared_ptr<SidebarModel> model, QWidget* parent = nullptr);

    // The help text for a mode.
    static QString helpText(PlacementMode mode);
    // The choice of the mode that is set; null without a model.
    QAbstractButton* selectedChoice() const;

private:
    void showMode();

    std::weak_ptr<SidebarModel> m_model;
    Subscription m_subscription;
    QButtonGroup* m_choices = nullptr;
    QLabel* m_help = nullptr;
};

}  // namespace vorn::app
