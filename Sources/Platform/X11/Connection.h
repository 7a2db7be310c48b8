#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <xcb/xcb.h>

#include "Atoms.h"

namespace vorn::platform::x11 {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

// A reply or event from xcb, freed with the C allocator.
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Largest property read, in 32-bit units; anything longer is cut there.
inline constexpr std::uint32_t maxPropertyLength = 1u << 16;

// One connection to the X server with the atoms and extensions the backend uses, and a window of
// its own that is never mapped. Main thread only.
class Connection {
public:
    // No value when the display cannot be reached; an empty name means $DISPLAY.
    static std::unique_ptr<Connection> open(const std::string& displayName);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    xcb_connection_t* raw() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    const Atoms& atoms() const { return m_atoms; }
    // The display as children must be told it, ":3" for example.
    const std::string& displayName() const { return m_displayName; }
    int fileDescriptor() const;
    // The server went away or the stream broke; nothing works any more.
    bool isBroken() const;

    // The X-Resource extension, which names the process behind a window, is there.
    bool hasResourceExtension() const { return m_hasResource; }
    // RandR 1.5, with monitors, is there.
    bool hasMonitors() const { return m_hasMonitors; }
    // The type of RandR's first event; 0 without RandR.
    std::uint8_t randrFirstEvent() const { return m_randrFirstEvent; }
    // The bits of a resource id that belong to its client; the rest names the client.
    std::uint32_t resourceIdMask() const { return m_resourceIdMask; }
    xcb_window_t ownWindow() const { return m_ownWindow; }

    // Blocks until the server has handled everything sent so far; false when broken.
    bool sync();
    // A fresh server time, read from the event of a property change on the own window. Other
    // events that arrive meanwhile go to onOtherEvent, in order.
    std::optional<xcb_timestamp_t> serverTime(
        const std::function<void(const xcb_generic_event_t&)>& onOtherEvent);

    xcb_get_property_cookie_t getProperty(xcb_window_t window,
                                          xcb_atom_t property,
                                          std::uint32_t length = maxPropertyLength) const;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_cookie_t cookie) const;

private:
    Connection() = default;
    bool setUp();

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    Atoms m_atoms;
    std::string m_displayName;
    bool m_hasResource = false;
    bool m_hasMonitors = false;
    std::uint8_t m_randrFirstEvent = 0;
    std::uint32_t m_resourceIdMask = 0;
    xcb_window_t m_ownWindow = XCB_NONE;
};

}  // namespace vorn::platform::x11
