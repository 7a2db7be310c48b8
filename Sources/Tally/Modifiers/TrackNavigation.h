#pragma once

#include <string>

namespace vorn::tally {

// Reports a navigation to a view's path each time the view is shown; the view's owner calls
// viewShown() from its show handler, on the main thread.
class TrackNavigation {
public:
    explicit TrackNavigation(std::string path)
        : m_path(std::move(path)) {}

    // "Tally.Navigation.pathChanged" from the last reported destination to this path.
    void viewShown() const;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace vorn::tally
