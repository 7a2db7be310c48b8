#include "DocumentMatch.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <utility>

#include "DocumentURL.h"

#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

// Letters, digits and marks join words, and so do "_", "-" and "." as file names use them.
// Ill-formed bytes count as letters: they join rather than split.
bool isWordCharacter(UChar32 c) {
    if (c < 0) {
        return true;
    }
    if (c < 0x80) {
        return u_isalnum(c) || c == '_' || c == '-' || c == '.';
    }
    const auto mask = U_GET_GC_MASK(c);
    return (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

bool isWordCharacterAt(std::string_view text, std::size_t at) {
    UChar32 c = 0;
    auto i = static_cast<std::int32_t>(at);
    U8_NEXT(text.data(), i, static_cast<std::int32_t>(text.size()), c);
    return isWordCharacter(c);
}

bool isWordCharacterBefore(std::string_view text, std::size_t end) {
    UChar32 c = 0;
    auto i = static_cast<std::int32_t>(end);
    U8_PREV(text.data(), 0, i, c);
    return isWordCharacter(c);
}

std::string lowerASCII(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// The words of a command line with shell quoting undone: '...' as it stands, "..." and bare
// text with backslash escapes.
std::vector<std::string> shellWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const auto close = text.find('\'', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            word.append(text.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                }
                word.push_back(text[i]);
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            word.push_back(text[++i]);
        } else {
            word.push_back(c);
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Programs that only start the program named later on their command line.
constexpr std::array<std::string_view, 6> launchers{"env", "flatpak", "snap", "sh", "bash", "gio"};

}  // namespace

bool containsWholeWord(std::string_view text, std::string_view word) {
    if (word.empty()) {
        return false;
    }
    for (std::size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + 1)) {
        const std::size_t end = at + word.size();
        const bool startsWord = at == 0 || !isWordCharacterBefore(text, at);
        const bool endsWord = end == text.size() || !isWordCharacterAt(text, end);
        if (startsWord && endsWord) {
            return true;
        }
    }
    return false;
}

std::string programOf(std::string_view commandLine) {
    auto words = shellWords(commandLine);
    // GLib quotes the whole command line as one word.
    if (words.size() == 1) {
        words = shellWords(words.front());
    }
    return words.empty() ? std::string() : fileName(words.front());
}

bool isSameApplication(const RecentApplication& application, const DesktopEntry& entry) {
    if (!entry.name.empty() && lowerASCII(entry.name) == lowerASCII(application.name)) {
        return true;
    }
    const std::string program = programOf(application.exec);
    return !program.empty()
           && std::find(launchers.begin(), launchers.end(), program) == launchers.end()
           && program == programOf(entry.exec);
}

std::vector<DocumentCandidate> recentDocumentsOf(std::span<const RecentFile> files,
                                                 const DesktopEntry& entry) {
    std::vector<DocumentCandidate> documents;
    for (const RecentFile& file : files) {
        for (const RecentApplication& application : file.applications) {
            if (isSameApplication(application, entry)) {
                documents.push_back({file.path, application.modified.value_or(file.used)});
                break;
            }
        }
    }
    return documents;
}

std::vector<DocumentCandidate> commandLineDocuments(std::string_view commandLine,
                                                    const std::string& workingDirectory) {
    std::vector<DocumentCandidate> documents;
    bool options = true;
    bool program = true;
    while (!commandLine.empty()) {
        const auto nul = commandLine.find('\0');
        const std::string_view argument = commandLine.substr(0, nul);
        commandLine =
            nul == std::string_view::npos ? std::string_view() : commandLine.substr(nul + 1);
        if (std::exchange(program, false) || argument.empty()) {
            continue;
        }
        if (options && argument == "--") {
            options = false;
            continue;
        }
        if (options && argument.front() == '-') {
            continue;
        }
        std::optional<std::string> path;
        if (argument.starts_with("file:") || argument.front() == '/') {
            path = localDocumentPath(argument);
        } else if (!workingDirectory.empty()) {
            path = (std::filesystem::path(workingDirectory) / argument).string();
        }
        if (!path) {
            continue;
        }
        std::string normal = std::filesystem::path(*path).lexically_normal().string();
        const bool seen = std::any_of(documents.begin(), documents.end(),
                                      [&](const DocumentCandidate& d) { return d.path == normal; });
        if (!seen) {
            documents.push_back({std::move(normal), 0});
        }
    }
    return documents;
}

bool isReadableDocument(const std::string& path) {
    struct stat status {};
    return !path.empty() && path.size() <= maxDocumentPathLength && path.front() == '/'
           && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)
           && ::access(path.c_str(), R_OK) == 0;
}

DocumentChoice chooseDocument(std::span<const DocumentCandidate> candidates,
                              std::string_view title,
                              std::string_view home,
                              const std::function<bool(const std::string&)>& usable) {
    // The best rank so far and, per path, the latest use of those of that rank.
    int best = 0;
    std::map<std::string, std::int64_t> fitting;
    for (const DocumentCandidate& candidate : candidates) {
        const std::string name = fileName(candidate.path);
        if (name.empty() || candidate.path.size() > maxDocumentPathLength
            || !containsWholeWord(title, name)) {
            continue;
        }
        int rank = 1;
        if (containsWholeWord(title, candidate.path)) {
            rank = 2;
        } else if (!home.empty() && candidate.path.size() > home.size()
                   && candidate.path.starts_with(home) && candidate.path[home.size()] == '/'
                   && containsWholeWord(title, "~" + candidate.path.substr(home.size()))) {
            rank = 2;
        }
        if (rank < best || !usable(candidate.path)) {
            continue;
        }
        if (rank > best) {
            best = rank;
            fitting.clear();
        }
        auto [it, added] = fitting.emplace(candidate.path, candidate.used);
        if (!added) {
            it->second = std::max(it->second, candidate.used);
        }
    }
    if (fitting.empty()) {
        return {};
    }
    const std::string name = fileName(fitting.begin()->first);
    const DocumentChoice ambiguous{DocumentChoice::Kind::ambiguous, {}};
    if (best == 2 && fitting.size() > 1) {
        return ambiguous;
    }
    const std::pair<const std::string, std::int64_t>* latest = nullptr;
    bool tie = false;
    for (const auto& entry : fitting) {
        if (fileName(entry.first) != name) {
            return ambiguous;
        }
        if (latest == nullptr || entry.second > latest->second) {
            latest = &entry;
            tie = false;
        } else if (entry.second == latest->second) {
            tie = true;
        }
    }
    if (tie) {
        return ambiguous;
    }
    return {DocumentChoice::Kind::one, latest->first};
}

DocumentChoice combineChoices(const DocumentChoice& a, const DocumentChoice& b) {
    using Kind = DocumentChoice::Kind;
    if (a.kind == Kind::ambiguous || b.kind == Kind::ambiguous
        || (a.kind == Kind::one && b.kind == Kind::one && a.path != b.path)) {
        return {Kind::ambiguous, {}};
    }
    return a.kind == Kind::one ? a : b;
}

}  // namespace vorn::platform::x11
