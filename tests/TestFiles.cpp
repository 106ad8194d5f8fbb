#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

QString describe(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link to ") + info.symLinkTarget();
    if (!info.exists())
        return QStringLiteral("missing");
    if (info.isDir())
        return QStringLiteral("folder with ")
            + QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).join(u',');
    return QStringLiteral("file ") + QString::fromLatin1(readBytes(path).toHex());
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    m_active = ::getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    m_active = m_active && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_active)
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_savedHandler);
}

std::optional<QList<QStringList>> parseCsv(QStringView text)
{
    QList<QStringList> records;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        QStringList fields;
        while (true) {
            QString field;
            if (i < n && text[i] == u'"') {
                for (++i;; ++i) {
                    if (i >= n)
                        return std::nullopt;
                    if (text[i] == u'"') {
                        if (i + 1 < n && text[i + 1] == u'"') {
                            field += u'"';
                            ++i;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    field += text[i];
                }
            } else {
                while (i < n && text[i] != u',' && text[i] != u'"' && text[i] != u'\r' && text[i] != u'\n')
                    field += text[i++];
            }
            fields << field;
            if (i < n && text[i] == u',') {
                ++i;
                continue;
            }
            break;
        }
        // The record ends here: at the end of the text, or at LF or CR LF.
        const bool cr = i < n && text[i] == u'\r';
        if (cr)
            ++i;
        if (i < n && text[i] == u'\n')
            ++i;
        else if (i < n || cr)
            return std::nullopt;
        records << fields;
    }
    return records;
}
