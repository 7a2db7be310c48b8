#pragma once

#include <compare>
#include <functional>

namespace vorn {

// A moment, as seconds since 1 January 2001 00:00:00 UTC (the form the saved files use).
class Date {
public:
    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReference)
        : m_seconds(secondsSinceReference) {}

    // Seconds between 1970-01-01 and 2001-01-01.
    static constexpr double unixOffset = 978307200.0;

    static constexpr Date fromUnix(double unixSeconds) { return Date(unixSeconds - unixOffset); }
    // The wall clock now.
    static Date now();

    constexpr double secondsSinceReference() const { return m_seconds; }
    constexpr double unixSeconds() const { return m_seconds + unixOffset; }

    constexpr Date adding(double seconds) const { return Date(m_seconds + seconds); }
    constexpr double secondsSince(Date other) const { return m_seconds - other.m_seconds; }

    friend constexpr bool operator==(const Date&, const Date&) = default;
    friend constexpr auto operator<=>(const Date&, const Date&) = default;

private:
    double m_seconds = 0;
};

// A source of the current time, so that tests can fix it.
using Clock = std::function<Date()>;

inline Clock systemClock() {
    return [] { return Date::now(); };
}

}  // namespace vorn
