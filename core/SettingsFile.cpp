#include "core/SettingsFile.h"

#include "core/Files.h"
#include "core/Folders.h"
#include "core/Lists.h"
#include "core/Text.h"

#include <QFileInfo>

namespace settings {

namespace {

const QString kFileName = QStringLiteral("quillmore.txt");
const QString kFalse = QStringLiteral("False");
const QString kTrue = QStringLiteral("True");

} // namespace

QStringList format(const Values& values)
{
    return {values.password, values.fullScreen ? kTrue : kFalse, QString::number(values.countryIndex)};
}

QString filePath(const QString& folder)
{
    return folder + kFileName;
}

Values parse(const QStringList& lines)
{
    Values values;
    values.password = lines.value(0);
    values.fullScreen = lines.value(1) != kFalse;
    const qint32 row = platform::toInt32(platform::Val(lines.value(2)));
    // A row the list does not have would leave the form's country list on whatever it showed.
    values.countryIndex = row >= 0 && row < lists::countries().size() ? row : 0;
    return values;
}

std::optional<Values> read()
{
    const QString folder = platform::PreferencesFolder();
    if (folder.isEmpty())
        return std::nullopt;
    const QString path = filePath(folder);
    // Only a regular file: opening a FIFO would wait for a writer forever.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    const std::optional<QStringList> lines = platform::readTextLines(path, kLines, kMaxBytes);
    if (!lines)
        return std::nullopt;
    return parse(*lines);
}

QString write(const Values& values)
{
    const QString folder = platform::PreferencesFolderForWriting();
    if (folder.isEmpty())
        return QStringLiteral("There is no preferences folder.");
    // The password is kept in clear, so nobody but the owner may read the file.
    return platform::replaceTextFile(filePath(folder), format(values),
                                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace settings
