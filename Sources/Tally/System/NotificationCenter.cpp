#include "System/NotificationCenter.h"

#include <algorithm>

namespace vorn::tally::system {

struct NotificationCenter::Entry {
    Notification name;
    // Held while the handler runs; recursive so that a handler can remove itself.
    std::recursive_mutex running;
    bool active = true;
    std::function<void()> handler;
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;
    return *center;
}

Subscription NotificationCenter::addObserver(Notification name, std::function<void()> handler) {
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->handler = std::move(handler);
    std::lock_guard lock(m_mutex);
    m_entries.push_back(entry);
    return Subscription([entry = std::move(entry)] {
        std::lock_guard running(entry->running);
        entry->active = false;
    });
}

void NotificationCenter::post(Notification name) {
    std::vector<std::shared_ptr<Entry>> observers;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_entries, [](const auto& weak) { return weak.expired(); });
        for (const auto& weak : m_entries) {
            if (auto entry = weak.lock(); entry && entry->name == name) {
                observers.push_back(std::move(entry));
            }
        }
    }
    for (const auto& entry : observers) {
        std::lock_guard lock(entry->running);
        if (entry->active) {
            entry->handler();
        }
    }
}

}  // namespace vorn::tally::system
