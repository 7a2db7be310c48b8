#pragma once

#include <QIcon>
#include <QString>

namespace vorn::app::desktop {

// The Icon value of the application's desktop entry: the entry whose id (its path below an
// applications directory, "/" as "-", without ".desktop") is `appID`; else one whose id equals
// it without case or ends in "." and it; else one whose StartupWMClass equals it without case.
// The entries are the process's shared index of the XDG data directories, read again when a
// directory changed. Empty when no entry matches.
QString iconName(const QString& appID);

// The icon an Icon value names: an absolute file, else a theme icon, else a file in a pixmaps
// directory (also one with a size suffix, such as "name_48x48.xpm"). Null when none is found.
QIcon resolveIcon(const QString& iconName);

}  // namespace vorn::app::desktop
