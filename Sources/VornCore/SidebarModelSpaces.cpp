#include <algorithm>
#include <limits>

#include "Log.h"
#include "SidebarModel.h"
#include "Text.h"

namespace vorn {

Uuid SidebarModel::createSpace() {
    std::int64_t order = 0;
    if (!m_spaces.empty()) {
        const auto largest =
            std::max_element(m_spaces.begin(), m_spaces.end(),
                             [](const Space& a, const Space& b) { return a.order < b.order; });
        // Saturates: only a hand-edited file reaches the top.
        order = largest->order == std::numeric_limits<std::int64_t>::max() ? largest->order
                                                                           : largest->order + 1;
    }
    const Uuid id = Uuid::random();
    m_spaces.push_back(Space{id, "New Space", order, {}, false});
    edited(Field::spaces);
    assign(m_activeSpaceId, id, Field::activeSpaceId);
    vornModelLog().notice("createSpace id=", id.string(), " -> spaces=", m_spaces.size());
    refresh();
    return id;
}

void SidebarModel::renameSpace(Uuid id, std::string_view name) {
    Space* space = findSpace(id);
    if (!space) {
        return;
    }
    std::string trimmed = text::trimmed(name);
    if (trimmed.empty()) {
        return;
    }
    space->name = trimmed;
    edited(Field::spaces);
    vornModelLog().notice("renameSpace id=", id.string(), " name=", trimmed);
    persist();
}

bool SidebarModel::deleteSpace(Uuid id) {
    const auto found = std::find_if(m_spaces.begin(), m_spaces.end(),
                                    [&](const Space& space) { return space.id == id; });
    if (m_spaces.size() < 2 || found == m_spaces.end()) {
        vornModelLog().notice("deleteSpace SKIPPED id=", id.string(),
                              " (last remaining space or not found)");
        return false;
    }
    const std::int64_t deletedOrder = found->order;
    const bool wasActive = id == m_activeSpaceId;
    m_spaces.erase(found);
    edited(Field::spaces);
    m_absenceCountsBySpace.erase(id);
    edited(Field::absenceCountsBySpace);
    if (wasActive) {
        // The nearest space before the deleted one by order, else the lowest.
        std::vector<const Space*> byOrder;
        for (const auto& space : m_spaces) {
            byOrder.push_back(&space);
        }
        std::stable_sort(byOrder.begin(), byOrder.end(),
                         [](const Space* a, const Space* b) { return a->order < b->order; });
        const Space* next = byOrder.front();
        for (const Space* space : byOrder) {
            if (space->order < deletedOrder) {
                next = space;
            }
        }
        assign(m_activeSpaceId, next->id, Field::activeSpaceId);
    }
    vornModelLog().notice("deleteSpace id=", id.string(), " -> spaces=", m_spaces.size(),
                          " activeSpaceId=", m_activeSpaceId.string());
    refresh();
    return true;
}

void SidebarModel::switchSpace(Uuid id) {
    if (id == m_activeSpaceId || !findSpace(id)) {
        return;
    }
    assign(m_activeSpaceId, id, Field::activeSpaceId);
    vornModelLog().notice("switchSpace -> id=", id.string());
    refresh();
}

void SidebarModel::requestPermission() {
    vornModelLog().notice("requestPermission");
    (void)m_manager->requestAccessibilityPermission();
}

}  // namespace vorn
