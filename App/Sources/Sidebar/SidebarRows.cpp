#include <string>
#include <unordered_set>

#include <QVBoxLayout>
#include <QtMath>

#include "AppIcons.h"
#include "SidebarView.h"
#include "TabRow.h"

namespace vorn::app {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// Byte for byte, as the row shows it; cheaper than the model's equality of names.
bool sameWindow(const WindowInfo& a, const WindowInfo& b) {
    return a.windowID == b.windowID && a.title == b.title && a.app.bundleId == b.app.bundleId
           && a.app.name == b.app.name && a.frame == b.frame && a.state == b.state
           && a.docPath == b.docPath;
}

// What the row's look says in words: the application, where the row stands and, for a tab,
// whether its window is gone ("XTerm, pinned, window closed").
QString describe(const std::string& appName, const QString& place, bool windowClosed) {
    QStringList parts;
    if (!appName.empty()) {
        parts << text(appName);
    }
    parts << place;
    if (windowClosed) {
        parts << QStringLiteral("window closed");
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace

bool SidebarView::unchanged(const TabRow* row, const SpaceTab& tab, bool active) const {
    const auto it = m_rowInputs.find(row);
    if (it == m_rowInputs.end() || it->second.active != active) {
        return false;
    }
    const auto* last = std::get_if<SpaceTab>(&it->second.value);
    return last != nullptr && identical(*last, tab);
}

bool SidebarView::unchanged(const TabRow* row, const WindowInfo& window, bool active) const {
    const auto it = m_rowInputs.find(row);
    if (it == m_rowInputs.end() || it->second.active != active) {
        return false;
    }
    const auto* last = std::get_if<WindowInfo>(&it->second.value);
    return last != nullptr && sameWindow(*last, window);
}

TabRow* SidebarView::reuse(TabRow* existing,
                           const std::string& bundleId,
                           std::optional<WindowID> window) {
    TabRow* row = existing;
    if (row == nullptr) {
        // Placed into its section's list, and shown, once the rebuild knows the order.
        row = new TabRow;
        // The arrows move between rows.
        row->installEventFilter(this);
    }
    auto app = m_icons.find(bundleId);
    if (app == m_icons.end()) {
        app = m_icons.emplace(bundleId, AppIcons::find(bundleId)).first;
    }
    QString key = text(bundleId);
    QIcon icon;
    if (app->second) {
        icon = *app->second;
    } else if (window) {
        // Programs whose icon lives only in another theme still draw their windows' own.
        const int side = qCeil(TabRow::iconSize * devicePixelRatioF());
        icon = m_windowIcons.icon(*window, side);
        if (!icon.isNull()) {
            key += QStringLiteral("\n") + QString::number(window->raw);
        }
    }
    if (existing == nullptr || row->iconKey() != key) {
        if (icon.isNull()) {
            if (m_genericIcon.isNull()) {
                m_genericIcon = AppIcons::generic();
            }
            icon = m_genericIcon;
        }
        row->setIcon(key, icon);
    }
    row->setValue(text(bundleId));
    return row;
}

void SidebarView::forgetGoneWindowIcons() {
    std::unordered_set<WindowID> live;
    for (const WindowInfo& window : m_model->ambient()) {
        live.insert(window.windowID);
    }
    for (const Space& space : m_model->spaces()) {
        for (const SpaceTab& tab : space.tabs) {
            if (tab.boundWindowID) {
                live.insert(*tab.boundWindowID);
            }
        }
    }
    m_windowIcons.keepOnly(live);
}

TabRow* SidebarView::tabRow(TabRow* existing,
                            const SpaceTab& tab,
                            std::optional<WindowID> activeWindow) {
    // An unbound tab is never active.
    const bool active = tab.boundWindowID && activeWindow && *tab.boundWindowID == *activeWindow;
    if (existing != nullptr && unchanged(existing, tab, active)) {
        return existing;
    }
    TabRow* row = reuse(existing, tab.app.bundleId, tab.boundWindowID);
    m_rowInputs[row] = RowInput{tab, active};
    const QString prefix =
        tab.isClaimed() ? QStringLiteral("vorn.tab.claimed.") : QStringLiteral("vorn.tab.pinned.");
    row->setObjectName(prefix + text(tab.id.string()));
    row->setTitle(text(tab.displayTitle()));
    row->setActive(active);
    row->setReopenable(!tab.boundWindowID);
    row->setDimmed(false);
    row->setDescription(describe(
        tab.app.name, tab.isClaimed() ? QStringLiteral("recent") : QStringLiteral("pinned"),
        !tab.boundWindowID));
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
    const bool active = activeWindow && *activeWindow == window.windowID;
    if (existing != nullptr && unchanged(existing, window, active)) {
        return existing;
    }
    TabRow* row = reuse(existing, window.app.bundleId, window.windowID);
    m_rowInputs[row] = RowInput{window, active};
    row->setObjectName(QStringLiteral("vorn.tab.ambient.") + QString::number(window.windowID.raw));
    row->setTitle(text(window.displayTitle()));
    row->setActive(active);
    row->setReopenable(false);
    row->setDimmed(true);
    row->setDescription(describe(window.app.name, QStringLiteral("other window"), false));
    row->setPrimaryAction(
        [this, window] { perform([window](SidebarModel& model) { model.activate(window); }); });
    row->setActions({{QStringLiteral("Pin"), QStringLiteral("vorn.menu.pin"), [this, window] {
                          perform([window](SidebarModel& model) { model.pin(window); });
                      }}});
    return row;
}

}  // namespace vorn::app
