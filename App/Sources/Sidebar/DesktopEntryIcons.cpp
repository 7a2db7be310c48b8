#include "DesktopEntryIcons.h"

#include <filesystem>

#include <QDir>
#include <QFileInfo>

#include "DesktopEntries.h"

namespace vorn::app::desktop {
namespace {

const QStringList imageSuffixes = {QStringLiteral(".png"), QStringLiteral(".svg"),
                                   QStringLiteral(".xpm")};

QIcon pixmapFile(const QString& name) {
    QStringList dirs;
    for (const std::filesystem::path& dataDir : platform::dataDirectories()) {
        dirs << QString::fromStdString((dataDir / "pixmaps").string());
    }
    dirs << QStringLiteral("/usr/share/pixmaps");
    for (const QString& dir : dirs) {
        for (const QString& suffix : imageSuffixes) {
            if (const QFileInfo file(dir + u'/' + name + suffix); file.isFile()) {
                return QIcon(file.filePath());
            }
        }
        // The name comes from other programs' window classes: the directory is listed and each
        // file compared with it, never matched against a pattern made of it.
        const QString sized = name + u'_';
        QString largest;
        // Size suffixes sort by size when they have as many digits; take the largest.
        for (const QString& file : QDir(dir).entryList(QDir::Files, QDir::Name)) {
            for (const QString& suffix : imageSuffixes) {
                if (file.size() > sized.size() + suffix.size()
                    && file.startsWith(sized, Qt::CaseInsensitive)
                    && file.endsWith(suffix, Qt::CaseInsensitive)) {
                    largest = file;
                }
            }
        }
        if (!largest.isEmpty()) {
            return QIcon(dir + u'/' + largest);
        }
    }
    return {};
}

}  // namespace

QString iconName(const QString& appID) {
    if (appID.isEmpty()) {
        return {};
    }
    platform::DesktopEntryIndex& index = platform::sharedDesktopEntries();
    index.refresh();
    const auto iconOf = [](const platform::DesktopEntry& entry) {
        return QString::fromStdString(entry.icon);
    };
    if (const platform::DesktopEntry* entry = index.byID(appID.toStdString())) {
        return iconOf(*entry);
    }
    const QString dotted = u'.' + appID;
    for (const platform::DesktopEntry& entry : index.all()) {
        const QString id = QString::fromStdString(entry.id);
        if (id.compare(appID, Qt::CaseInsensitive) == 0
            || id.endsWith(dotted, Qt::CaseInsensitive)) {
            return iconOf(entry);
        }
    }
    for (const platform::DesktopEntry& entry : index.all()) {
        const QString wmClass = QString::fromStdString(entry.startupWMClass);
        if (wmClass.compare(appID, Qt::CaseInsensitive) == 0) {
            return iconOf(entry);
        }
    }
    return {};
}

QIcon resolveIcon(const QString& iconName) {
    if (iconName.isEmpty()) {
        return {};
    }
    if (QDir::isAbsolutePath(iconName)) {
        return QFileInfo(iconName).isFile() ? QIcon(iconName) : QIcon();
    }
    // Names come from other programs' window classes too: nothing that could walk the file tree.
    if (iconName.contains(u'/') || iconName.startsWith(u'.')) {
        return {};
    }
    QString name = iconName;
    for (const QString& suffix : imageSuffixes) {
        if (name.endsWith(suffix, Qt::CaseInsensitive)) {
            name.chop(suffix.size());
        }
    }
    if (QIcon themed = QIcon::fromTheme(name); !themed.isNull()) {
        return themed;
    }
    return pixmapFile(name);
}

}  // namespace vorn::app::desktop
