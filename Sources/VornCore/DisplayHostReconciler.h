#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

// One connected display: its number, which the system may give to another monitor after a
// change, and its stable key (empty when the display reports none).
struct DisplaySnapshot {
    std::uint32_t id = 0;
    std::string key;

    friend bool operator==(const DisplaySnapshot&, const DisplaySnapshot&) = default;
};

// What to do with the sidebar after the displays changed.
class DisplayHostDecision {
public:
    enum class Kind {
        realign,    // the host is connected as display(): lay the sidebar out there
        autoAdopt,  // the host is gone and display() is the only one: move there unasked
        reselect,   // the host is gone and displays() are connected: let the user choose
        wait,       // no display is connected: decide again later
    };

    static DisplayHostDecision realign(std::uint32_t display) { return {Kind::realign, display}; }
    static DisplayHostDecision autoAdopt(std::uint32_t display) {
        return {Kind::autoAdopt, display};
    }
    static DisplayHostDecision reselect(std::vector<std::uint32_t> displays) {
        return {Kind::reselect, 0, std::move(displays)};
    }
    static DisplayHostDecision wait() { return {Kind::wait, 0}; }

    Kind kind() const { return m_kind; }
    std::uint32_t display() const { return m_display; }
    const std::vector<std::uint32_t>& displays() const { return m_displays; }

    // "realign(2)", "autoAdopt(5)", "reselect([1, 3])", "wait", as log lines write it.
    std::string description() const;

    friend bool operator==(const DisplayHostDecision&, const DisplayHostDecision&) = default;

private:
    DisplayHostDecision(Kind kind, std::uint32_t display, std::vector<std::uint32_t> displays = {})
        : m_kind(kind)
        , m_display(display)
        , m_displays(std::move(displays)) {}

    Kind m_kind;
    std::uint32_t m_display;
    std::vector<std::uint32_t> m_displays;
};

class DisplayHostReconciler {
public:
    DisplayHostReconciler() = delete;

    // Finds the host again among the connected displays (in the system's screen order): by its
    // stable key first, preferring the host's own number when several displays share the key;
    // then by its number, trusted only when the host's key or that display's key is empty.
    // Otherwise the only display is adopted, none means wait, several mean reselect.
    static DisplayHostDecision reconcile(const std::string& hostKey,
                                         std::uint32_t hostDisplayID,
                                         const std::vector<DisplaySnapshot>& displays);
};

}  // namespace vorn
