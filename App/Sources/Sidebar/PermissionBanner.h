#pragma once

#include <optional>

#include <QUrl>
#include <QWidget>

class QPushButton;

namespace vorn::app {

// Says that the permission to read and move other applications' windows is missing, with a
// button that asks the system for it and, where the desktop has a settings page for it, a
// button that opens that page. Shown by the sidebar view while the permission is missing.
class PermissionBanner final : public QWidget {
    Q_OBJECT

public:
    // Without a settings address there is no "System Settings" button.
    explicit PermissionBanner(std::optional<QUrl> settingsAddress, QWidget* parent = nullptr);

Q_SIGNALS:
    void requestAccess();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openSettings() const;
    // What its text stands on: its tint over the panel.
    QColor shownBackground() const;

    std::optional<QUrl> m_settingsAddress;
};

}  // namespace vorn::app
