#include "core/Folders.h"

#include "core/Files.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString withSeparator(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// Creates the folder and whichever of its parents are missing, top down. Each new folder's entry in
// its parent is synced, so the folder (and the data file the kiosk then creates in it, which syncs
// its own entry) survives a power cut.
bool makeFolder(const QString& path)
{
    QStringList missing;
    for (QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath()); !QFileInfo::exists(folder);) {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    for (const QString& folder : std::as_const(missing)) {
        // Another process may have made it meanwhile; a folder is all that is needed.
        if (!QDir().mkdir(folder) && !QFileInfo(folder).isDir())
            return false;
        if (!syncFolder(QFileInfo(folder).path()))
            return false;
    }
    return true;
}

QString folder(QStandardPaths::StandardLocation location, bool create)
{
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists() && create && !makeFolder(path))
        return {};
    if (!QFileInfo(path).isDir())
        return {};
    return withSeparator(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString PreferencesFolder()
{
    return folder(QStandardPaths::GenericConfigLocation, false);
}

QString PreferencesFolderForWriting()
{
    return folder(QStandardPaths::GenericConfigLocation, true);
}

QString DesktopFolder()
{
    return folder(QStandardPaths::DesktopLocation, true);
}

QString DesktopFolderPath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return path.isEmpty() ? QString() : withSeparator(QFileInfo(path).absoluteFilePath());
}

} // namespace platform
