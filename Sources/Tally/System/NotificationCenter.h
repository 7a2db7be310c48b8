#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vorn::tally::system {

// The application events the client listens for; the host posts them.
enum class Notification {
    willTerminate,
    didBecomeActive,
    willResignActive,
};

class NotificationCenter;

// Keeps one observer registered; destroying or resetting the token removes it.
class ObserverToken {
public:
    ObserverToken() = default;
    ~ObserverToken() { reset(); }
    ObserverToken(ObserverToken&& other) noexcept;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;

    // Removes the observer. When its handler runs on another thread, waits for it to finish,
    // so that nothing the handler uses may vanish under it; a handler may reset its own token.
    void reset();
    bool isActive() const { return static_cast<bool>(m_entry); }

private:
    friend class NotificationCenter;
    struct Entry;
    explicit ObserverToken(std::shared_ptr<Entry> entry)
        : m_entry(std::move(entry)) {}

    std::shared_ptr<Entry> m_entry;
};

// Delivers notifications synchronously, on the posting thread, to the observers registered
// at the moment of posting, in registration order.
class NotificationCenter {
public:
    static NotificationCenter& defaultCenter();

    [[nodiscard]] ObserverToken addObserver(Notification name, std::function<void()> handler);
    void post(Notification name);

private:
    std::mutex m_mutex;
    std::vector<std::weak_ptr<ObserverToken::Entry>> m_entries;
};

}  // namespace vorn::tally::system
