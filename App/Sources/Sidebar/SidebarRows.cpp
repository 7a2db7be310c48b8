#include <string>

#include <QVBoxLayout>

#include "AppIcons.h"
#include "SidebarView.h"
#include "TabRow.h"

namespace vorn::app {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

TabRow* SidebarView::reuse(TabRow* existing, const std::string& bundleId) {
    TabRow* row = existing;
    if (row == nullptr) {
        row = new TabRow(m_list->parentWidget());
        // Shown now: a layout would show a new child only in the next turn.
        row->show();
    }
    if (existing == nullptr || row->iconKey() != text(bundleId)) {
        row->setIcon(text(bundleId), AppIcons::icon(bundleId));
    }
    row->setValue(text(bundleId));
    return row;
}

TabRow* SidebarView::tabRow(TabRow* existing,
                            const SpaceTab& tab,
                            std::optional<WindowID> activeWindow) {
    TabRow* row = reuse(existing, tab.app.bundleId);
    const QString prefix =
        tab.isClaimed() ? QStringLiteral("vorn.tab.claimed.") : QStringLiteral("vorn.tab.pinned.");
    row->setObjectName(prefix + text(tab.id.string()));
    row->setTitle(text(tab.displayTitle()));
    // An unbound tab is never active.
    row->setActive(tab.boundWindowID && activeWindow && *tab.boundWindowID == *activeWindow);
    row->setReopenable(!tab.boundWindowID);
    row->setDimmed(false);
    // Each action hands the model the tab as it was when the row was built; the model looks it
    // up again by id.
    row->setPrimaryAction(
        [this, tab] { perform([tab](SidebarModel& model) { model.activate(tab); }); });
    const auto remove = [this, tab] { perform([tab](SidebarModel& model) { model.remove(tab); }); };
    if (tab.isClaimed()) {
        row->setActions({
            {QStringLiteral("Pin"), QStringLiteral("vorn.menu.promote"),
             [this, tab] { perform([tab](SidebarModel& model) { model.promote(tab); }); }},
            {QStringLiteral("Remove"), QStringLiteral("vorn.menu.remove"), remove},
        });
    } else {
        row->setActions({{QStringLiteral("Unpin"), QStringLiteral("vorn.menu.unpin"), remove}});
    }
    return row;
}

TabRow* SidebarView::ambientRow(TabRow* existing,
                                const WindowInfo& window,
                                std::optional<WindowID> activeWindow) {
    TabRow* row = reuse(existing, window.app.bundleId);
    row->setObjectName(QStringLiteral("vorn.tab.ambient.") + QString::number(window.windowID.raw));
    row->setTitle(text(window.displayTitle()));
    row->setActive(activeWindow && *activeWindow == window.windowID);
    row->setReopenable(false);
    row->setDimmed(true);
    row->setPrimaryAction(
        [this, window] { perform([window](SidebarModel& model) { model.activate(window); }); });
    row->setActions({{QStringLiteral("Pin"), QStringLiteral("vorn.menu.pin"), [this, window] {
                          perform([window](SidebarModel& model) { model.pin(window); });
                      }}});
    return row;
}

}  // namespace vorn::app
