#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace vorn::app::desktop {

// The XDG data directories in order of precedence: $XDG_DATA_HOME (else ~/.local/share), then
// each of $XDG_DATA_DIRS (else /usr/local/share and /usr/share).
QStringList dataDirectories();

// The Icon value of the application's desktop entry: the entry whose id (its path below an
// applications directory, "/" as "-", without ".desktop") is `appID`; else one whose id equals
// it without case or ends in "." and it; else one whose StartupWMClass equals it without case.
// Entries are found by listing the directories, never by building a path from `appID`. Empty
// when no entry matches.
QString iconName(const QString& appID);

// The icon an Icon value names: an absolute file, else a theme icon, else a file in a pixmaps
// directory (also one with a size suffix, such as "name_48x48.xpm"). Null when none is found.
QIcon resolveIcon(const QString& iconName);

}  // namespace vorn::app::desktop
