#include "System/NotificationCenter.h"

#include <algorithm>

namespace vorn::tally::system {

struct ObserverToken::Entry {
    Notification name;
    // Held while the handler runs; recursive so that a handler can remove itself.
    std::recursive_mutex running;
    bool active = true;
    std::function<void()> handler;
};

ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : m_entry(std::move(other.m_entry)) {}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept {
    if (this != &other) {
        reset();
        m_entry = std::move(other.m_entry);
    }
    return *this;
}

void ObserverToken::reset() {
    if (!m_entry) {
        return;
    }
    {
        std::lock_guard lock(m_entry->running);
        m_entry->active = false;
    }
    // The centre holds the entry weakly; it forgets it at the next post.
    m_entry.reset();
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;
    return *center;
}

ObserverToken NotificationCenter::addObserver(Notification name, std::function<void()> handler) {
    auto entry = std::make_shared<ObserverToken::Entry>();
    entry->name = name;
    entry->handler = std::move(handler);
    std::lock_guard lock(m_mutex);
    m_entries.push_back(entry);
    return ObserverToken(std::move(entry));
}

void NotificationCenter::post(Notification name) {
    std::vector<std::shared_ptr<ObserverToken::Entry>> observers;
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
