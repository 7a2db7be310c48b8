#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace vorn::tally::system {

// A shared object that is made on first use and can be replaced or dropped, from any thread. A
// value or a function is kept as a shared_ptr to const, so that readers hold it by value while
// a writer replaces it.
template <typename T>
class SharedSlot {
public:
    // The object in the slot; when there is none, the one factory() returns is put there first.
    // One factory runs at a time, so two first users never make two objects. It runs with the
    // slot itself free: a factory may log, read settings or wait for threads that use the slot.
    template <typename Factory>
    std::shared_ptr<T> get(Factory&& factory) {
        if (auto object = current()) {
            return object;
        }
        std::lock_guard making(m_making);
        if (auto object = current()) {
            return object;
        }
        std::shared_ptr<T> made = std::forward<Factory>(factory)();
        std::lock_guard lock(m_mutex);
        if (!m_object) {
            m_object = std::move(made);
        }
        return m_object;
    }

    // The object in the slot; null when there is none. Makes none.
    std::shared_ptr<T> current() {
        std::lock_guard lock(m_mutex);
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
    std::mutex m_making;
    std::mutex m_mutex;
    std::shared_ptr<T> m_object;
};

// The process-wide slot for T (Tag tells apart two owners that keep the same type). Every such
// slot, and whatever it holds last, is never destroyed: the timer thread, network completions
// and the client's queues may still read the time, log or stop a measurement while the process
// exits, after static objects are gone.
template <typename T, typename Tag = T>
SharedSlot<T>& processSlot() {
    static auto* slot = new SharedSlot<T>;
    return *slot;
}

// A function as a slot keeps it: an empty function empties the slot.
template <typename Function>
std::shared_ptr<const Function> sharedFunction(Function function) {
    return function ? std::make_shared<const Function>(std::move(function)) : nullptr;
}

}  // namespace vorn::tally::system
