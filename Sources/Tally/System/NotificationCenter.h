#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Subscription.h"

namespace vorn::tally::system {

// The application events the client listens for; the host posts them.
enum class Notification {
    willTerminate,
    didBecomeActive,
    willResignActive,
};

// Delivers notifications synchronously, on the posting thread, to the observers registered
// at the moment of posting, in registration order.
class NotificationCenter {
public:
    static NotificationCenter& defaultCenter();

    // Calls the handler for each such post until the subscription ends. Ending it waits for the
    // handler when that runs on another thread, so that nothing the handler uses may vanish under
    // it; a handler may end its own subscription.
    [[nodiscard]] Subscription addObserver(Notification name, std::function<void()> handler);
    void post(Notification name);

private:
    struct Entry;

    std::mutex m_mutex;
    // Held weakly: the subscription owns its entry, and the centre forgets it at the next post.
    std::vector<std::weak_ptr<Entry>> m_entries;
};

}  // namespace vorn::tally::system
