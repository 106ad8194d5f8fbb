#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh home for one test: HOME and the XDG folders point into a temporary folder, so no test
// touches the real desktop or settings. Restores nothing: each test executable is its own process.
class TestEnvironment final
{
public:
    TestEnvironment();

    QString home() const { return m_dir.path(); }
    QString desktop() const { return m_dir.path() + QStringLiteral("/Desktop"); }
    QString config() const { return m_dir.path() + QStringLiteral("/.config"); }
    QString dataFile() const { return desktop() + QStringLiteral("/quillmore.csv"); }
    QString settingsFile() const { return config() + QStringLiteral("/quillmore.txt"); }

    // No settings file, whatever stood in its place (a folder, or a file where the folder belongs).
    void removeSettings() const;

private:
    QTemporaryDir m_dir;
};
