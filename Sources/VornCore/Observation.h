#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "Subscription.h"

namespace vorn {

// Tells observers which field of an object changed, synchronously, on the thread that changed
// it (the main thread). Observers may subscribe or unsubscribe anyone, themselves included,
// while being told; one unsubscribed meanwhile is not called again.
template <typename Field>
class ObservationRegistry {
public:
    using Observer = std::function<void(Field)>;

    ObservationRegistry() = default;
    ObservationRegistry(const ObservationRegistry&) = delete;
    ObservationRegistry& operator=(const ObservationRegistry&) = delete;

    [[nodiscard]] Subscription observe(Observer observer) {
        auto entry = std::make_shared<Entry>(Entry{std::move(observer), true});
        m_entries->push_back(entry);
        std::weak_ptr<Entries> entries = m_entries;
        std::weak_ptr<Entry> weakEntry = entry;
        return Subscription([entries, weakEntry] {
            const auto target = weakEntry.lock();
            if (!target) {
                return;
            }
            target->active = false;
            if (const auto list = entries.lock()) {
                std::erase(*list, target);
            }
        });
    }

    // Calls every observer with the field, in subscription order.
    void notify(Field field) const {
        if (m_entries->empty()) {
            return;
        }
        // A copy, so that observers may change the list while it is walked.
        const std::vector<std::shared_ptr<Entry>> snapshot = *m_entries;
        for (const auto& entry : snapshot) {
            if (entry->active) {
                entry->observer(field);
            }
        }
    }

    std::size_t observerCount() const { return m_entries->size(); }

private:
    struct Entry {
        Observer observer;
        bool active;
    };
    using Entries = std::vector<std::shared_ptr<Entry>>;

    std::shared_ptr<Entries> m_entries = std::make_shared<Entries>();
};

}  // namespace vorn
