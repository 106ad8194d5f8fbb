#include "core/DataFile.h"

#include "core/Folders.h"

namespace {

const QString kDataFileName = QStringLiteral("quillmore.csv");

QString onDesktop(const QString& desktop)
{
    return desktop.isEmpty() ? QString() : desktop + kDataFileName;
}

} // namespace

QString dataFileForWriting(const QString& chosen)
{
    return chosen.isEmpty() ? onDesktop(platform::DesktopFolder()) : chosen;
}

QString dataFileToShow(const QString& chosen)
{
    return chosen.isEmpty() ? onDesktop(platform::DesktopFolderPath()) : chosen;
}
