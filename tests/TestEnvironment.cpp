#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestEnvironment::TestEnvironment()
{
    const QString root = m_dir.path();
    const QString runtime = root + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/.cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
}

void TestEnvironment::removeSettings() const
{
    QFile::remove(settingsFile());
    QDir(settingsFile()).removeRecursively();
    if (QFileInfo(config()).isFile())
        QFile::remove(config());
}
