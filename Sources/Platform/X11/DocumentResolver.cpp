#include "DocumentResolver.h"

#include <array>
#include <cerrno>
#include <cstdlib>

#include "Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

// Longer command lines are read this far; the arguments beyond are not looked at.
constexpr std::size_t maxCommandLine = 256u << 10;

// The command line and working directory of a process of this user; nothing for other users'
// processes, whose files are not this user's to name.
std::pair<std::string, std::string> processLaunch(std::int32_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid);
    struct stat status {};
    if (pid <= 0 || ::stat(dir.c_str(), &status) != 0 || status.st_uid != ::getuid()) {
        return {};
    }
    std::string commandLine;
    const int fd = ::open((dir + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        std::array<char, 4096> buffer;
        while (commandLine.size() < maxCommandLine) {
            const ssize_t length = ::read(fd, buffer.data(), buffer.size());
            if (length < 0 && errno == EINTR) {
                continue;
            }
            if (length <= 0) {
                break;
            }
            commandLine.append(buffer.data(), static_cast<std::size_t>(length));
        }
        ::close(fd);
    }
    if (commandLine.size() > maxCommandLine) {
        // The last argument may be cut short.
        commandLine.resize(commandLine.rfind('\0', maxCommandLine) + 1);
    }
    std::array<char, 4097> cwd{};
    const ssize_t length = ::readlink((dir + "/cwd").c_str(), cwd.data(), cwd.size() - 1);
    std::string workingDirectory;
    if (length > 0 && static_cast<std::size_t>(length) < cwd.size() - 1 && cwd[0] == '/') {
        workingDirectory.assign(cwd.data(), static_cast<std::size_t>(length));
    }
    return {std::move(commandLine), std::move(workingDirectory)};
}

}  // namespace

DocumentResolver::DocumentResolver(RunLoop& runLoop, std::filesystem::path recentlyUsedFile)
    : m_recent(runLoop, std::move(recentlyUsedFile)) {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') {
        m_home = home;
        while (m_home.size() > 1 && m_home.back() == '/') {
            m_home.pop_back();
        }
    }
}

const std::vector<DocumentCandidate>& DocumentResolver::recentCandidates(
    const DesktopEntry& entry) {
    if (m_candidatesGeneration != m_recent.generation()) {
        m_candidatesGeneration = m_recent.generation();
        m_recentByApplication.clear();
    }
    const std::string key = entry.id + '\n' + entry.name + '\n' + entry.exec;
    auto it = m_recentByApplication.find(key);
    if (it == m_recentByApplication.end()) {
        it = m_recentByApplication.emplace(key, recentDocumentsOf(m_recent.files(), entry)).first;
    }
    return it->second;
}

const std::vector<DocumentCandidate>& DocumentResolver::processCandidates(std::int32_t pid) {
    auto it = m_byProcess.find(pid);
    if (it == m_byProcess.end()) {
        const auto [commandLine, workingDirectory] = processLaunch(pid);
        it = m_byProcess.emplace(pid, commandLineDocuments(commandLine, workingDirectory)).first;
    }
    return it->second;
}

const DocumentResolver::Answer* DocumentResolver::savedAnswer(const Window& window) const {
    const auto it = m_answers.find(window.id);
    if (it == m_answers.end() || it->second.pid != window.pid
        || it->second.generation != m_recent.generation()
        || it->second.onlyWindow != window.onlyWindowOfProcess) {
        return nullptr;
    }
    return &it->second;
}

std::optional<std::string> DocumentResolver::document(const Window& window,
                                                      const TitleReader& readTitle) {
    m_recent.use();
    std::optional<std::string> title;
    if (savedAnswer(window) != nullptr) {
        title = readTitle();
        if (!title) {
            return std::nullopt;
        }
        // Looked up again: reading the title may lead to other calls that change the answers.
        if (const Answer* saved = savedAnswer(window); saved != nullptr && saved->title == *title) {
            return saved->path;
        }
    }
    static const std::vector<DocumentCandidate> none;
    const auto candidates = [&]() {
        return std::pair<const std::vector<DocumentCandidate>&,
                         const std::vector<DocumentCandidate>&>(
            window.entry != nullptr ? recentCandidates(*window.entry) : none,
            window.onlyWindowOfProcess ? processCandidates(window.pid) : none);
    };
    if (const auto [recent, launched] = candidates(); recent.empty() && launched.empty()) {
        return std::nullopt;
    }
    if (!title) {
        title = readTitle();
        if (!title) {
            return std::nullopt;
        }
    }
    // Taken after the title was read, which may lead to other calls that change the lists.
    const auto [recent, launched] = candidates();
    const auto choice =
        combineChoices(chooseDocument(recent, *title, m_home, isReadableDocument),
                       chooseDocument(launched, *title, m_home, isReadableDocument));
    std::optional<std::string> path;
    if (choice.kind == DocumentChoice::Kind::one) {
        path = choice.path;
    } else if (choice.kind == DocumentChoice::Kind::ambiguous) {
        vornWMLog().debug("x11: document of window unclear win=", window.id, " pid=", window.pid);
    }
    m_answers[window.id] =
        Answer{window.pid, *title, m_recent.generation(), window.onlyWindowOfProcess, path};
    return path;
}

void DocumentResolver::retain(const std::set<std::pair<std::int32_t, std::uint32_t>>& windows) {
    std::set<std::int32_t> pids;
    for (const auto& [pid, window] : windows) {
        pids.insert(pid);
    }
    std::erase_if(m_answers, [&](const auto& entry) {
        return !windows.contains({entry.second.pid, entry.first});
    });
    std::erase_if(m_byProcess, [&](const auto& entry) { return !pids.contains(entry.first); });
}

}  // namespace vorn::platform::x11
