// The settings reader on any bytes in the settings file: at most three lines looked at, none with a
// line break, a country row the list has, and the values read, saved by the settings writer and read
// again, come back the same.
#include "FuzzCheck.h"

#include "core/Files.h"
#include "core/Lists.h"
#include "core/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

QString g_path;

// The UTF-8 size of the file the writer makes of these lines.
qint64 fileSize(const QStringList& lines)
{
    qint64 size = 0;
    for (const QString& line : lines)
        size += line.toUtf8().size() + 1;
    return size;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // In memory where possible: the writer syncs the file and its folder at every save.
    static QTemporaryDir folder(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/fuzz_settings-XXXXXX")
                                                          : QDir::tempPath() + QStringLiteral("/fuzz_settings-XXXXXX"));
    FUZZ_CHECK(folder.isValid());
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    g_path = settings::filePath(folder.path() + u'/');
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile file(g_path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }

    const std::optional<QStringList> lines = platform::readTextLines(g_path, settings::kLines, settings::kMaxBytes);
    FUZZ_CHECK(lines && lines->size() <= settings::kLines);
    for (const QString& line : *lines)
        FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r'));

    const std::optional<settings::Values> values = settings::read();
    FUZZ_CHECK(values && *values == settings::parse(*lines));
    FUZZ_CHECK(values->countryIndex >= 0 && values->countryIndex < lists::countries().size());

    // Anything larger than the reader's limit was not written by the kiosk: its password does not fit
    // the Preferences window's field.
    if (fileSize(settings::format(*values)) > settings::kMaxBytes)
        return 0;
    FUZZ_CHECK(settings::write(*values).isEmpty());
    FUZZ_CHECK(settings::read() == values);
    return 0;
}
