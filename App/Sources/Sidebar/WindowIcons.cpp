#include "WindowIcons.h"

#include <algorithm>
#include <cstring>

#include <QImage>
#include <QPixmap>

namespace vorn::app {

QIcon WindowIcons::icon(WindowID window, int side) {
    if (const auto known = m_icons.find(window); known != m_icons.end()) {
        return known->second;
    }
    QIcon icon;
    if (m_reader) {
        side = std::max(side, 1);
        if (const auto read = m_reader(window.raw, static_cast<std::uint32_t>(side))) {
            QImage picture = image(*read);
            // Kept at the row's size: a window may carry nothing smaller than 1,024 pixels.
            if (picture.width() > side || picture.height() > side) {
                picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            }
            if (!picture.isNull()) {
                icon.addPixmap(QPixmap::fromImage(picture));
            }
        }
    }
    m_icons.emplace(window, icon);
    return icon;
}

void WindowIcons::keepOnly(const std::unordered_set<WindowID>& live) {
    std::erase_if(m_icons, [&live](const auto& entry) { return !live.contains(entry.first); });
}

QImage WindowIcons::image(const platform::WindowIcon& icon) {
    if (icon.width == 0 || icon.height == 0 || icon.width > 4096 || icon.height > 4096
        || icon.pixels.size() != std::size_t{icon.width} * icon.height) {
        return {};
    }
    // The same layout as the pixels: 32-bit 0xAARRGGBB words with straight alpha.
    QImage picture(static_cast<int>(icon.width), static_cast<int>(icon.height),
                   QImage::Format_ARGB32);
    if (picture.isNull()) {
        return {};
    }
    for (int row = 0; row < picture.height(); ++row) {
        std::memcpy(picture.scanLine(row), icon.pixels.data() + std::size_t(row) * icon.width,
                    icon.width * sizeof(std::uint32_t));
    }
    return picture;
}

}  // namespace vorn::app
