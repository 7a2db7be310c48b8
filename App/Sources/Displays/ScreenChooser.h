#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QPointer>

#include "DisplayCatalog.h"

class QWidget;

namespace vorn::app {

class ChooserWindow;
class ScreenEvents;

// Settles which display hosts the sidebar: at once with fewer than two displays, otherwise by
// asking the user in a small floating window that follows display changes while it is shown.
// One per run. Main thread only.
class ScreenChooser : public QObject {
    Q_OBJECT

public:
    using Answer = std::function<void(std::uint32_t)>;

    ScreenChooser(const DisplayCatalog& catalog, ScreenEvents& events);
    ~ScreenChooser() override;

    // Answers exactly once per shown chooser: `completion` with the display the user picked (or
    // the only one left when no host key is given), or `onHostReturned` when the display with
    // the host key comes back. An empty host key counts as none. Not called while shown.
    void choose(std::optional<std::string> hostKey, Answer onHostReturned, Answer completion);

    // The shown window; null while none is.
    QWidget* window() const;

private:
    void pick(std::uint32_t displayID);
    void dismiss();
    void displaysChangedWhileShown();
    void showOptions(const std::vector<DisplayOption>& options);
    // The first display, else the main one.
    std::uint32_t onlyDisplay(const std::vector<DisplayOption>& options) const;

    const DisplayCatalog& m_catalog;
    ScreenEvents& m_events;
    QPointer<ChooserWindow> m_window;
    QPointer<QWidget> m_view;
    Answer m_completion;
    std::optional<std::string> m_hostKey;
    Answer m_onHostReturned;
    QMetaObject::Connection m_reconfigObserver;
};

}  // namespace vorn::app
