#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace vorn::tally::system {

// A process-wide shared object that is made on first use and can be replaced or dropped, from
// any thread. Keep the slot itself in an allocation that is never destroyed, so threads still
// running while the process exits find it intact:
//
//     SharedSlot<Thing>& slot() {
//         static auto* s = new SharedSlot<Thing>;
//         return *s;
//     }
template <typename T>
class SharedSlot {
public:
    // The object in the slot; when there is none, the one factory() returns is put there first.
    // The factory runs under the slot's lock, so two first users never make two objects.
    template <typename Factory>
    std::shared_ptr<T> get(Factory&& factory) {
        std::lock_guard lock(m_mutex);
        if (!m_object) {
            m_object = std::forward<Factory>(factory)();
        }
        return m_object;
    }

    // Puts object in the slot. The object it replaces is released outside the lock, so its
    // destructor may wait for other threads that use the slot meanwhile.
    void set(std::shared_ptr<T> object) {
        {
            std::lock_guard lock(m_mutex);
            m_object.swap(object);
        }
        object.reset();
    }

    // Empties the slot; the next get() makes a new object.
    void reset() { set(nullptr); }

private:
    std::mutex m_mutex;
    std::shared_ptr<T> m_object;
};

}  // namespace vorn::tally::system
