#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "DesktopEntries.h"
#include "DocumentMatch.h"
#include "RecentlyUsedList.h"
#include "RunLoop.h"

namespace vorn::platform::x11 {

// Which file a window shows, as far as the desktop tells: the recently-used list names the
// files its application opened, and a process with one window may have been started on its
// file; either way the file's name must stand in the window's title. Answers are kept per window
// and worked out again only when the title or the list changed. Main thread only.
class DocumentResolver {
public:
    struct Window {
        std::uint32_t id = 0;
        std::int32_t pid = 0;
        // The application's desktop entry; null when it has none.
        const DesktopEntry* entry = nullptr;
        // The process owns no other managed window.
        bool onlyWindowOfProcess = false;
    };
    using TitleReader = std::function<std::optional<std::string>()>;

    // An empty file means no recently-used list.
    DocumentResolver(RunLoop& runLoop, std::filesystem::path recentlyUsedFile);

    // The window's document as a plain path; no value when none can be told. The title is read
    // only when some file could match it, and before it only the window's facts are used.
    std::optional<std::string> document(const Window& window, const TitleReader& readTitle);
    // Forgets the windows and processes that are not among these (process, window) pairs.
    void retain(const std::set<std::pair<std::int32_t, std::uint32_t>>& windows);

    RecentlyUsedList& recentlyUsed() { return m_recent; }

private:
    struct Answer {
        std::int32_t pid = 0;
        std::string title;
        std::uint64_t generation = 0;
        bool onlyWindow = false;
        std::optional<std::string> path;
    };

    const std::vector<DocumentCandidate>& recentCandidates(const DesktopEntry& entry);
    const std::vector<DocumentCandidate>& processCandidates(std::int32_t pid);
    // The answer kept for the window while its process, the list and its being the only one
    // are unchanged; the title is for the caller to compare.
    const Answer* savedAnswer(const Window& window) const;

    RecentlyUsedList m_recent;
    std::string m_home;
    std::uint64_t m_candidatesGeneration = 0;
    // By the entry's id, name and command line.
    std::map<std::string, std::vector<DocumentCandidate>> m_recentByApplication;
    std::map<std::int32_t, std::vector<DocumentCandidate>> m_byProcess;
    std::map<std::uint32_t, Answer> m_answers;
};

}  // namespace vorn::platform::x11
