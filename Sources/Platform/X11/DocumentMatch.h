#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "DesktopEntries.h"
#include "RecentlyUsed.h"

namespace vorn::platform::x11 {

// Longer paths are not taken as documents: a title is read up to 4096 bytes, and so is a path
// (PATH_MAX).
inline constexpr std::size_t maxDocumentPathLength = 4096;

// A file a window may show.
struct DocumentCandidate {
    std::string path;
    // When its application last used it, in microseconds since 1970; 0 when unknown.
    std::int64_t used = 0;
};

// What one source says about a window's document.
struct DocumentChoice {
    enum class Kind {
        none,
        one,
        // More than one file fits: the window's document cannot be told.
        ambiguous
    };
    Kind kind = Kind::none;
    std::string path;

    friend bool operator==(const DocumentChoice&, const DocumentChoice&) = default;
};

// Whether the word stands in the UTF-8 text with no word character right before or after it.
// Word characters are letters, digits and marks of any script, "_", "-" and "." (so "notes.txt"
// is not found in "notes.txt.bak" or "old-notes.txt"); spaces, punctuation and symbols, such as
// the dashes and bullets of titles, separate words.
bool containsWholeWord(std::string_view text, std::string_view word);

// The program a command line starts, without its directory: "mousepad" for "'mousepad %u'"
// (quoted as a whole, as GLib stores it) and for "/usr/bin/mousepad %U". Empty when there is
// none.
std::string programOf(std::string_view commandLine);

// Whether the list's application is the desktop entry's: the same name, compared without case,
// or the same program (unless that program only starts others, such as env or flatpak).
bool isSameApplication(const RecentApplication& application, const DesktopEntry& entry);

// The files of the list that the entry's application registered, with the time it last did.
std::vector<DocumentCandidate> recentDocumentsOf(std::span<const RecentFile> files,
                                                 const DesktopEntry& entry);

// The arguments of a command line (/proc/<pid>/cmdline: NUL-separated, the program first) that
// may name files: absolute paths, file URLs of this machine, and paths relative to the working
// directory when it is known. Options are skipped up to "--".
std::vector<DocumentCandidate> commandLineDocuments(std::string_view commandLine,
                                                    const std::string& workingDirectory);

// Whether the path is a regular file this user may read, and not longer than the limit.
bool isReadableDocument(const std::string& path);

// The candidate the title shows. A candidate counts when its file name stands in the title as a
// whole word and the file is usable; one whose whole path (or the path with ~ for the home
// directory) stands there counts before those that match by name only. Among those that count,
// files of different names make the choice ambiguous; of files of one name the most recently
// used wins, and two used at the same time are ambiguous too.
DocumentChoice chooseDocument(std::span<const DocumentCandidate> candidates,
                              std::string_view title,
                              std::string_view home,
                              const std::function<bool(const std::string&)>& usable);

// Two sources together: one that cannot tell, or two that name different files, give none.
DocumentChoice combineChoices(const DocumentChoice& a, const DocumentChoice& b);

}  // namespace vorn::platform::x11
