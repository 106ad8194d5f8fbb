#pragma once

#include <QByteArray>
#include <QString>

// Files as a test sees them: their bytes, and enough of a path's state to tell whether it changed.
QByteArray readBytes(const QString& path); // "<unreadable>" when it cannot be read
bool writeBytes(const QString& path, const QByteArray& bytes);
QString describe(const QString& path);
