#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include <QIcon>

#include "Models.h"
#include "WindowServer.h"

namespace vorn::app {

// Asks the window server for a window's own icon in about `side` pixels.
using WindowIconReader =
    std::function<std::optional<platform::WindowIcon>(std::uint32_t window, std::uint32_t side)>;

// The icons windows carry of themselves, for applications the icon theme has none for. Each
// window is asked once, and its answer (an icon or none) is kept while the window lives: asking
// goes to the window server, which a refresh of the sidebar must not wait for.
class WindowIcons {
public:
    explicit WindowIcons(WindowIconReader reader = {})
        : m_reader(std::move(reader)) {}

    // The window's icon, asked for at `side` pixels the first time; null when it has none.
    QIcon icon(WindowID window, int side);
    // Forgets every window not among these: a window number may come back as another window.
    void keepOnly(const std::unordered_set<WindowID>& live);

    // The picture as an image; null when its pixels do not match its size.
    static QImage image(const platform::WindowIcon& icon);

private:
    WindowIconReader m_reader;
    std::unordered_map<WindowID, QIcon> m_icons;
};

}  // namespace vorn::app
