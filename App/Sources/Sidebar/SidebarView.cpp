#include "SidebarView.h"

#include <algorithm>

#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

#include "AccessibleActions.h"
#include "AmbientDivider.h"
#include "Log.h"
#include "PermissionBanner.h"
#include "SidebarStyle.h"
#include "SpaceBar.h"
#include "SpaceHeader.h"
#include "TabRow.h"

namespace vorn::app {
namespace {

// A section's list of rows: a list to assistive tools, named as the section's header says.
QWidget* makeList(const QString& name, const QString& identifier, QWidget* parent) {
    auto* list = new QWidget(parent);
    // The role first: naming it already makes its interface.
    setAccessibleRole(*list, QAccessible::List);
    list->setObjectName(identifier);
    list->setAccessibleName(name);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(10);
    // Empty, it would add its spacing to the section's.
    list->hide();
    return list;
}

QLabel* makeLeftOutCaption(const QString& identifier, QWidget* parent) {
    QLabel* caption = style::makeCaption(QString(), identifier, parent);
    caption->hide();
    return caption;
}

}  // namespace

SidebarView::SidebarView(std::shared_ptr<SidebarModel> model,
                         std::function<void()> requestKeyFocus,
                         std::optional<DisplayHostMenu> hostMenu,
                         WindowIconReader windowIcons,
                         QWidget* parent)
    : QWidget(parent)
    , m_model(std::move(model))
    , m_requestKeyFocus(std::move(requestKeyFocus))
    , m_hostMenu(std::move(hostMenu))
    , m_windowIcons(std::move(windowIcons)) {
    buildLayout();
    if (m_model) {
        m_subscription = m_model->observe([this](SidebarModel::Field field) {
            switch (field) {
                case SidebarModel::Field::lastSavedData:
                case SidebarModel::Field::absenceCountsBySpace:
                case SidebarModel::Field::rebindPickerOpen:
                case SidebarModel::Field::settings:
                    return;
                default:
                    scheduleRebuild();
            }
        });
    }
    rebuild();
}

SidebarView::~SidebarView() = default;

void SidebarView::detach() {
    m_subscription.reset();
    m_model.reset();
}

void SidebarView::buildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);

    buildControls();
    outer->addWidget(m_header);
    outer->addWidget(m_banner);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget(m_scroll);
    content->setAutoFillBackground(false);
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(4, 0, 4, 0);
    sections->setSpacing(10);

    m_pinnedLabel = style::makeCaption(QStringLiteral("Pinned"),
                                       QStringLiteral("vorn.section.pinned"), content);
    m_pinnedHint = style::makeCaption(QStringLiteral("Right-click a Recent tab to pin it"),
                                      QStringLiteral("vorn.pinned.empty"), content);
    m_pinnedList =
        makeList(QStringLiteral("Pinned"), QStringLiteral("vorn.section.pinned.list"), content);
    m_pinnedMore = makeLeftOutCaption(QStringLiteral("vorn.section.pinned.more"), content);
    m_sectionLine = new style::Hairline(5, content);
    m_recentLabel = style::makeCaption(QStringLiteral("Recent"),
                                       QStringLiteral("vorn.section.recent"), content);
    m_recentHint = style::makeCaption(QStringLiteral("No windows detected on this screen"),
                                      QStringLiteral("vorn.recent.empty"), content);
    m_recentList =
        makeList(QStringLiteral("Recent"), QStringLiteral("vorn.section.recent.list"), content);
    m_recentMore = makeLeftOutCaption(QStringLiteral("vorn.section.recent.more"), content);
    m_divider = new AmbientDivider(content);
    m_divider->setToggleAction(
        [this] { perform([](SidebarModel& model) { model.toggleAmbientCollapsed(); }); });
    m_ambientList = makeList(QStringLiteral("Other Windows"),
                             QStringLiteral("vorn.section.ambient.list"), content);
    m_ambientMore = makeLeftOutCaption(QStringLiteral("vorn.section.ambient.more"), content);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_pinnedLabel, m_pinnedHint, m_pinnedList, m_pinnedMore, m_sectionLine, m_recentLabel,
             m_recentHint, m_recentList, m_recentMore, m_divider, m_ambientList, m_ambientMore}) {
        sections->addWidget(widget);
    }
    sections->addStretch(1);
    m_scroll->setWidget(content);
    outer->addWidget(m_scroll, 1);

    outer->addWidget(m_spaceBar);
    // Assistive tools read children in the order they were made: the bar comes last.
    m_spaceBar->raise();
}

void SidebarView::scheduleRebuild() {
    if (m_rebuildPending) {
        return;
    }
    m_rebuildPending = true;
    QMetaObject::invokeMethod(
        this, [this] { rebuild(); }, Qt::QueuedConnection);
}

void SidebarView::rebuild() {
    m_rebuildPending = false;
    if (!m_model) {
        return;
    }
    const SidebarModel& model = *m_model;
    updateControls();

    const std::vector<SpaceTab> pinned = model.pinnedTabs();
    const std::vector<SpaceTab> claimed = model.claimedTabs();
    const std::vector<WindowInfo> shown = model.displayedAmbient();
    const bool hasAmbient = !model.ambient().empty();
    const std::optional<WindowID> active = model.activeWindowID();

    m_pinnedHint->setVisible(pinned.empty());
    m_recentHint->setVisible(claimed.empty() && !hasAmbient);
    // The full list decides, so the collapse toggle stays while the list is collapsed.
    m_divider->setVisible(hasAmbient);
    m_divider->setCollapsed(model.ambientCollapsed());

    // The keyboard's focus stays on its row, or goes where that row's window went; so does the
    // row that takes it when the panel next has the keyboard.
    QPointer<TabRow> focused = qobject_cast<TabRow*>(focusWidget());
    const std::optional<WindowID> focusedWindow = windowOf(focused);
    const auto focusedAt = static_cast<std::size_t>(
        std::find(m_rows.begin(), m_rows.end(), focused.data()) - m_rows.begin());

    std::unordered_map<Uuid, TabRow*> oldTabs;
    std::unordered_map<WindowID, TabRow*> oldAmbient;
    oldTabs.swap(m_tabRows);
    oldAmbient.swap(m_ambientRows);

    const auto placeTab = [&](const SpaceTab& tab, std::vector<TabRow*>& section) {
        // A repeated id would act on the same tab; show it once.
        if (m_tabRows.contains(tab.id)) {
            return;
        }
        auto node = oldTabs.extract(tab.id);
        TabRow* row = tabRow(node.empty() ? nullptr : node.mapped(), tab, active);
        m_tabRows.emplace(tab.id, row);
        section.push_back(row);
    };
    // Each section takes rows up to its limit; what it leaves out is only counted.
    const auto placeTabs = [&](const std::vector<SpaceTab>& tabs, std::vector<TabRow*>& section) {
        std::size_t next = 0;
        for (; next < tabs.size() && section.size() < maxRowsPerSection; ++next) {
            placeTab(tabs[next], section);
        }
        return tabs.size() - next;
    };
    std::vector<TabRow*> pinnedRows;
    const std::size_t pinnedLeftOut = placeTabs(pinned, pinnedRows);
    std::vector<TabRow*> recentRows;
    const std::size_t recentLeftOut = placeTabs(claimed, recentRows);
    std::vector<TabRow*> ambientRows;
    std::size_t nextWindow = 0;
    for (; nextWindow < shown.size() && ambientRows.size() < maxRowsPerSection; ++nextWindow) {
        const WindowInfo& window = shown[nextWindow];
        if (m_ambientRows.contains(window.windowID)) {
            continue;
        }
        auto node = oldAmbient.extract(window.windowID);
        TabRow* row = ambientRow(node.empty() ? nullptr : node.mapped(), window, active);
        m_ambientRows.emplace(window.windowID, row);
        ambientRows.push_back(row);
    }
    showLeftOut(*m_pinnedMore, pinnedLeftOut, pinned.size());
    showLeftOut(*m_recentMore, recentLeftOut, claimed.size());
    showLeftOut(*m_ambientMore, shown.size() - nextWindow, shown.size());

    for (const auto& [id, row] : oldTabs) {
        retire(row);
    }
    for (const auto& [id, row] : oldAmbient) {
        retire(row);
    }
    arrangeSection(*m_pinnedList, pinnedRows);
    arrangeSection(*m_recentList, recentRows);
    arrangeSection(*m_ambientList, ambientRows);
    m_rows = std::move(pinnedRows);
    m_rows.insert(m_rows.end(), recentRows.begin(), recentRows.end());
    m_rows.insert(m_rows.end(), ambientRows.begin(), ambientRows.end());
    forgetGoneWindowIcons();
    if (focused) {
        restoreFocus(focused, focusedWindow, focusedAt);
    }
}

void SidebarView::arrangeSection(QWidget& list, const std::vector<TabRow*>& rows) {
    auto* layout = static_cast<QVBoxLayout*>(list.layout());
    // Moves only what is out of place, so that rows that stay are not touched. A section may
    // hold any number of rows: a row in its place costs one look, never a search.
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        TabRow* row = rows[static_cast<std::size_t>(index)];
        if (const QLayoutItem* item = layout->itemAt(index); item && item->widget() == row) {
            continue;
        }
        if (row->parentWidget() != &list) {
            // New, or from another section (a Recent tab just pinned): the same row moves.
            // Taking it out of its old list hides it, and a hidden focus widget passes the focus
            // on to the next control, which a screen reader would announce. Its focus is dropped
            // instead, and the rebuild gives it back.
            if (row->hasFocus()) {
                row->clearFocus();
            }
            row->setParent(&list);
            layout->insertWidget(index, row);
            row->show();
            continue;
        }
        if (const int at = layout->indexOf(row); at >= 0) {
            layout->removeWidget(row);
        }
        layout->insertWidget(index, row);
    }
    // Assistive tools read the children in the order they were added, not the layout's: from
    // the first row out of that order on, raising each in turn puts them in the order shown.
    // Rows added at the end are already in order.
    std::size_t next = 0;
    for (QObject* child : list.children()) {
        auto* row = qobject_cast<TabRow*>(child);
        if (row == nullptr || row->isHidden()) {
            continue;
        }
        if (next == rows.size() || rows[next] != row) {
            break;
        }
        ++next;
    }
    for (std::size_t index = next; index < rows.size(); ++index) {
        rows[index]->raise();
    }
    list.setVisible(!rows.empty());
}

void SidebarView::showLeftOut(QLabel& more, std::size_t leftOut, std::size_t total) {
    if (leftOut == 0) {
        more.hide();
        return;
    }
    if (more.isHidden()) {
        vornAppLog().notice("sidebar: a section holds ", total, " rows, showing the first ",
                            total - leftOut, " section=", more.objectName().toStdString());
    }
    more.setText(QStringLiteral("%1 more not shown").arg(QLocale().toString(qulonglong{leftOut})));
    more.show();
}

void SidebarView::retire(TabRow* row) {
    // Rebuilds run in a turn of their own, never inside the row's handlers; the row may still
    // have a context menu open, which goes with it. Its focus is dropped first, or hiding it
    // would pass the focus on to the next row on the way.
    m_rowInputs.erase(row);
    if (row->hasFocus()) {
        row->clearFocus();
    }
    if (QLayout* layout =
            row->parentWidget() != nullptr ? row->parentWidget()->layout() : nullptr) {
        layout->removeWidget(row);
    }
    row->hide();
    row->deleteLater();
}

void SidebarView::perform(std::function<void(SidebarModel&)> operation) {
    QPointer<SidebarView> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, operation = std::move(operation)] {
            if (!self || !self->m_model) {
                return;
            }
            // Held here: the operation may run a nested event loop in which the panel is torn
            // down. Nothing of the view is touched after it returns.
            const std::shared_ptr<SidebarModel> model = self->m_model;
            operation(*model);
        },
        Qt::QueuedConnection);
}

void SidebarView::setSidebarHovered(bool hovered) {
    m_sidebarHovered = hovered;
    m_divider->setSidebarHovered(hovered);
}

void SidebarView::enterEvent(QEnterEvent*) {
    setSidebarHovered(true);
}

void SidebarView::leaveEvent(QEvent*) {
    setSidebarHovered(false);
}

void SidebarView::hideEvent(QHideEvent*) {
    setSidebarHovered(false);
}

}  // namespace vorn::app
