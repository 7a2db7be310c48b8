#include "PlacementSection.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "AccessibleActions.h"
#include "SettingsText.h"

namespace vorn::app {
namespace {

struct Choice {
    PlacementMode mode;
    const char* title;
    const char* key;
};

constexpr Choice choices[] = {
    {PlacementMode::normal, "Normal", "normal"},
    {PlacementMode::center, "Center", "center"},
    {PlacementMode::fill, "Fill", "fill"},
};

}  // namespace

PlacementSection::PlacementSection(std::shared_ptr<SidebarModel> model, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(makeSectionHeading(QStringLiteral("Window placement"), this));

    auto* group = new QWidget(this);
    // The role first: naming it already makes its interface. A screen reader reads the name of a
    // group as the focus enters it, never that of a plain widget.
    setAccessibleRole(*group, QAccessible::Grouping);
    group->setObjectName(QStringLiteral("vorn.settings.placement"));
    group->setAccessibleName(QStringLiteral("Window placement"));
    auto* buttons = new QVBoxLayout(group);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(4);
    m_choices = new QButtonGroup(this);
    for (const Choice& choice : choices) {
        auto* button = new QRadioButton(QString::fromLatin1(choice.title), group);
        button->setObjectName(QStringLiteral("vorn.settings.placement.")
                              + QString::fromLatin1(choice.key));
        m_choices->addButton(button, static_cast<int>(choice.mode));
        buttons->addWidget(button);
    }
    layout->addWidget(group);
    m_help = makeHelpText(QStringLiteral("vorn.settings.placement.help"), this);
    layout->addWidget(m_help);

    connect(m_choices, &QButtonGroup::idClicked, this, [this](int id) {
        if (const auto target = m_model.lock()) {
            target->setPlacementMode(static_cast<PlacementMode>(id));
        }
        // The model may keep its mode; show what it holds.
        showMode();
    });
    if (model) {
        m_subscription = model->observe([this](SidebarModel::Field field) {
            if (field == SidebarModel::Field::settings) {
                showMode();
            }
        });
    }
    showMode();
}

QString PlacementSection::helpText(PlacementMode mode) {
    switch (mode) {
        case PlacementMode::normal:
            return QStringLiteral(
                "On activation, a window only moves when the sidebar covers it or it's on another "
                "screen \u2014 just enough to clear the sidebar, leaving a small gap. Never "
                "centered.");
        case PlacementMode::center:
            return QStringLiteral(
                "On activation, a window is centered in the area beside the sidebar every time.");
        case PlacementMode::fill:
            return QStringLiteral(
                "On activation, a pinned window fills the area beside the sidebar edge-to-edge; a "
                "Recent window fills it with a margin. Windows that can't be resized (e.g. "
                "Calculator) are centered instead.");
    }
    return {};
}

QAbstractButton* PlacementSection::selectedChoice() const {
    return m_choices->checkedButton();
}

void PlacementSection::showMode() {
    const auto model = m_model.lock();
    if (!model) {
        return;
    }
    const PlacementMode mode = model->placementMode();
    if (QAbstractButton* button = m_choices->button(static_cast<int>(mode))) {
        button->setChecked(true);
    }
    m_help->setText(helpText(mode));
}

}  // namespace vorn::app
