#include "app/DataFile.h"

#include "app/App.h"
#include "platform/Folders.h"

namespace {

const QString kDataFileName = QStringLiteral("quillmore.csv");

QString onDesktop(const QString& desktop)
{
    return desktop.isEmpty() ? QString() : desktop + kDataFileName;
}

} // namespace

QString dataFileForWriting()
{
    const QString& chosen = App::instance().commandLine.dataFile;
    return chosen.isEmpty() ? onDesktop(platform::DesktopFolder()) : chosen;
}

QString dataFileToShow()
{
    const QString& chosen = App::instance().commandLine.dataFile;
    return chosen.isEmpty() ? onDesktop(platform::DesktopFolderPath()) : chosen;
}
