#include "WindowActions.h"

#include <algorithm>
#include <cmath>

namespace vorn::platform::x11 {
namespace {

constexpr std::uint32_t sourcePager = 2;
constexpr std::uint32_t gravityNorthWest = 1;
constexpr std::uint32_t stateRemove = 0;
constexpr std::uint32_t iconicState = 3;

void sendToRoot(const Connection& connection,
                xcb_window_t window,
                xcb_atom_t type,
                std::uint32_t d0,
                std::uint32_t d1 = 0,
                std::uint32_t d2 = 0,
                std::uint32_t d3 = 0,
                std::uint32_t d4 = 0) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    event.data.data32[3] = d3;
    event.data.data32[4] = d4;
    xcb_send_event(connection.raw(), 0, connection.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

// A coordinate as the protocol carries it: rounded and held within 16 bits.
std::uint32_t coordinate(double value) {
    const double clamped = std::clamp(std::round(value), -32768.0, 32767.0);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

std::uint32_t extent(double value) {
    return static_cast<std::uint32_t>(std::clamp(std::round(value), 1.0, 32767.0));
}

}  // namespace

void requestActivation(const Connection& connection,
                       xcb_window_t window,
                       xcb_timestamp_t time,
                       xcb_window_t currentlyActive) {
    sendToRoot(connection, window, connection.atoms().netActiveWindow, sourcePager, time,
               currentlyActive);
    requestRaise(connection, window);
}

void requestCurrentDesktop(const Connection& connection,
                           std::uint32_t desktop,
                           xcb_timestamp_t time) {
    sendToRoot(connection, connection.root(), connection.atoms().netCurrentDesktop, desktop, time);
    xcb_flush(connection.raw());
}

void requestRaise(const Connection& connection, xcb_window_t window) {
    sendToRoot(connection, window, connection.atoms().netRestackWindow, sourcePager, XCB_NONE,
               XCB_STACK_MODE_ABOVE);
    xcb_flush(connection.raw());
}

void requestMoveResize(const Connection& connection,
                       xcb_window_t window,
                       std::optional<Point> framePosition,
                       std::optional<Size> clientSize) {
    // Bits 8 to 11 say which of x, y, width and height are given, 12 and 13 the source.
    std::uint32_t flags = gravityNorthWest | (sourcePager << 12);
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (framePosition) {
        flags |= (1u << 8) | (1u << 9);
        x = coordinate(framePosition->x);
        y = coordinate(framePosition->y);
    }
    if (clientSize) {
        flags |= (1u << 10) | (1u << 11);
        width = extent(clientSize->width);
        height = extent(clientSize->height);
    }
    sendToRoot(connection, window, connection.atoms().netMoveresizeWindow, flags, x, y, width,
               height);
    xcb_flush(connection.raw());
}

void requestRestore(const Connection& connection, xcb_window_t window) {
    const Atoms& atoms = connection.atoms();
    sendToRoot(connection, window, atoms.netWmState, stateRemove, atoms.stateMaximizedVert,
               atoms.stateMaximizedHorz, sourcePager);
    sendToRoot(connection, window, atoms.netWmState, stateRemove, atoms.stateFullscreen, 0,
               sourcePager);
    xcb_flush(connection.raw());
}

void requestIconify(const Connection& connection, xcb_window_t window) {
    sendToRoot(connection, window, connection.atoms().wmChangeState, iconicState);
    xcb_flush(connection.raw());
}

}  // namespace vorn::platform::x11
