#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString withSeparator(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString folder(QStandardPaths::StandardLocation location, bool create)
{
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists() && create && !QDir().mkpath(path))
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

} // namespace platform
