#include "DesktopEntryIcons.h"

#include <optional>
#include <set>
#include <vector>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace vorn::app::desktop {
namespace {

// Larger files are not desktop entries.
constexpr qint64 maxEntrySize = 1 << 20;
const QStringList imageSuffixes = {QStringLiteral(".png"), QStringLiteral(".svg"),
                                   QStringLiteral(".xpm")};

struct EntryFile {
    QString id;
    QString path;
};

struct Entry {
    QString icon;
    QString startupWMClass;
};

QStringList splitPaths(const QByteArray& value) {
    QStringList result;
    for (const QString& part : QString::fromLocal8Bit(value).split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(part)) {
            result << part;
        }
    }
    return result;
}

// Every entry file, in order of precedence, each id once: the first directory that has an id
// hides it further down.
std::vector<EntryFile> listEntryFiles() {
    std::vector<EntryFile> files;
    std::set<QString> seen;
    for (const QString& dataDir : dataDirectories()) {
        const QDir applications(dataDir + QStringLiteral("/applications"));
        if (!applications.exists()) {
            continue;
        }
        QDirIterator it(applications.path(), {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = applications.relativeFilePath(path);
            id.chop(8);
            id.replace(u'/', u'-');
            if (seen.insert(id).second) {
                files.push_back({id, path});
            }
        }
    }
    return files;
}

// The [Desktop Entry] group of an application entry that is not hidden.
std::optional<Entry> readEntry(const QString& path) {
    QFile file(path);
    if (file.size() > maxEntrySize || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    Entry entry;
    bool inGroup = false;
    bool isApplication = false;
    bool hidden = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QStringLiteral("Type")) {
            isApplication = value == QStringLiteral("Application");
        } else if (key == QStringLiteral("Icon")) {
            entry.icon = value;
        } else if (key == QStringLiteral("StartupWMClass")) {
            entry.startupWMClass = value;
        } else if (key == QStringLiteral("Hidden")) {
            hidden = value == QStringLiteral("true");
        }
    }
    if (!isApplication || hidden) {
        return std::nullopt;
    }
    return entry;
}

QIcon pixmapFile(const QString& name) {
    QStringList dirs;
    for (const QString& dataDir : dataDirectories()) {
        dirs << dataDir + QStringLiteral("/pixmaps");
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

QStringList dataDirectories() {
    QStringList dirs;
    const QStringList home = splitPaths(qgetenv("XDG_DATA_HOME"));
    dirs << (home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home.first());
    QStringList system = splitPaths(qgetenv("XDG_DATA_DIRS"));
    if (system.isEmpty()) {
        system = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    }
    dirs << system;
    return dirs;
}

QString iconName(const QString& appID) {
    if (appID.isEmpty()) {
        return {};
    }
    const std::vector<EntryFile> files = listEntryFiles();
    const QString dotted = u'.' + appID;
    const auto byID = [&](bool exact) -> std::optional<QString> {
        for (const EntryFile& file : files) {
            const bool matches = exact ? file.id == appID
                                       : file.id.compare(appID, Qt::CaseInsensitive) == 0
                                             || file.id.endsWith(dotted, Qt::CaseInsensitive);
            if (matches) {
                if (const auto entry = readEntry(file.path)) {
                    return entry->icon;
                }
            }
        }
        return std::nullopt;
    };
    if (auto icon = byID(true)) {
        return *icon;
    }
    if (auto icon = byID(false)) {
        return *icon;
    }
    for (const EntryFile& file : files) {
        const auto entry = readEntry(file.path);
        if (entry && entry->startupWMClass.compare(appID, Qt::CaseInsensitive) == 0) {
            return entry->icon;
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
