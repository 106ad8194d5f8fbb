#include "Database.h"

#include "core/SignUpRecord.h"

#include <QFile>
#include <QProcess>

#include <libpq-fe.h>

Database::Database()
{
    reconnect();
    if (m_conn == nullptr)
        return;
    QFile sql(QStringLiteral(QUILLMORE_SQL_FILE));
    if (!sql.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1").arg(sql.fileName());
        return;
    }
    PGresult* result = PQexec(m_conn, sql.readAll().constData());
    if (PQresultStatus(result) != PGRES_COMMAND_OK)
        m_error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
    if (!m_error.isEmpty())
        return;
    query(QStringLiteral("CREATE ROLE kiosk LOGIN PASSWORD 'kiosk-secret' IN ROLE quillmore_kiosk"));
}

Database::~Database()
{
    if (m_conn != nullptr)
        PQfinish(m_conn);
}

void Database::reconnect()
{
    if (m_conn != nullptr)
        PQfinish(m_conn);
    // pg_virtualenv's PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE, as they were at the start: a test
    // may take them away to run an engine as the kiosk.
    static const QByteArray user = qgetenv("PGUSER");
    static const QByteArray password = qgetenv("PGPASSWORD");
    const char* keywords[] = {"user", "password", nullptr};
    const char* values[] = {user.constData(), password.constData(), nullptr};
    m_conn = PQconnectdbParams(keywords, values, 0);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        m_error =
            QStringLiteral("no server (run under pg_virtualenv): %1").arg(QString::fromUtf8(PQerrorMessage(m_conn)));
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

QByteArray Database::copyOut(const QString& sql, const QString& options)
{
    m_error.clear();
    PGresult* result =
        PQexec(m_conn, QStringLiteral("COPY (%1) TO STDOUT (%2)").arg(sql, options).toUtf8().constData());
    const bool copying = PQresultStatus(result) == PGRES_COPY_OUT;
    if (!copying)
        m_error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
    QByteArray bytes;
    char* row = nullptr;
    for (int size; copying && (size = PQgetCopyData(m_conn, &row, 0)) > 0; PQfreemem(row))
        bytes.append(row, size);
    while ((result = PQgetResult(m_conn)) != nullptr)
        PQclear(result);
    return bytes;
}

QList<QStringList> Database::query(const QString& sql, const QStringList& parameters)
{
    m_error.clear();
    if (m_conn == nullptr || PQstatus(m_conn) != CONNECTION_OK)
        reconnect();
    if (m_conn == nullptr)
        return {};
    QList<QByteArray> values;
    QList<const char*> pointers;
    for (const QString& parameter : parameters)
        values << parameter.toUtf8();
    for (const QByteArray& value : values)
        pointers << value.constData();
    PGresult* result = PQexecParams(m_conn, sql.toUtf8().constData(), int(pointers.size()), nullptr,
                                    pointers.constData(), nullptr, nullptr, 0);
    QList<QStringList> rows;
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        m_error = QString::fromUtf8(PQresultErrorMessage(result));
    } else {
        for (int row = 0; row < PQntuples(result); ++row) {
            QStringList fields;
            for (int column = 0; column < PQnfields(result); ++column)
                fields << (PQgetisnull(result, row, column) ? QString()
                                                            : QString::fromUtf8(PQgetvalue(result, row, column)));
            rows << fields;
        }
    }
    PQclear(result);
    return rows;
}

QString Database::value(const QString& sql, const QStringList& parameters)
{
    const QList<QStringList> rows = query(sql, parameters);
    return rows.isEmpty() || rows.first().isEmpty() ? QString() : rows.first().first();
}

QString Database::kioskConninfo(const QString& extra) const
{
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=kiosk %4")
        .arg(qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT"), qEnvironmentVariable("PGDATABASE"), extra)
        .trimmed();
}

void Database::actAsKiosk() const
{
    const QProcessEnvironment environment = kioskEnvironment();
    qunsetenv("PGPASSWORD");
    qunsetenv("PGUSER");
    qputenv("PGPASSFILE", environment.value(QStringLiteral("PGPASSFILE")).toUtf8());
}

QProcessEnvironment Database::kioskEnvironment(const QString& password) const
{
    const QString passFile = m_dir.filePath(QStringLiteral("pgpass-") + QString::number(qHash(password)));
    QFile file(passFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QStringLiteral("*:*:*:kiosk:%1\n").arg(password).toUtf8());
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("PGPASSWORD"));
    environment.remove(QStringLiteral("PGUSER"));
    environment.insert(QStringLiteral("PGPASSFILE"), passFile);
    return environment;
}

QList<QByteArray> Database::arrivedLines(const QString& kiosk)
{
    QString columns;
    for (const char* name : {"first_name", "last_name", "email", "post_code", "city", "column_6", "country", "cell",
                             "carrier", "aol_screen_name", "myspace_user_name", "year_born", "gender", "column_14"})
        columns += QStringLiteral(", %1").arg(QLatin1String(name));
    const QList<QStringList> rows =
        query(QStringLiteral("SELECT encode(unparsed, 'hex')%1 FROM quillmore.signup WHERE kiosk = $1 "
                             "ORDER BY data_file, line_offset")
                  .arg(columns),
              {kiosk});
    QList<QByteArray> lines;
    for (const QStringList& row : rows) {
        if (!row[0].isNull()) {
            lines << QByteArray::fromHex(row[0].toLatin1());
            continue;
        }
        QString line;
        // A value the kiosk wrote is never NULL, not even an empty one: such a column shows as NULL.
        for (qsizetype i = 1; i < row.size(); ++i)
            line += row[i].isNull() ? QStringLiteral("NULL,") : record::quotedColumn(row[i]);
        lines << line.toUtf8();
    }
    return lines;
}

QString Database::stopServer()
{
    const int status = QProcess::execute(QStringLiteral("pg_ctlcluster"),
                                         {qEnvironmentVariable("PGVERSION"), QStringLiteral("regress"),
                                          QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    if (m_conn != nullptr)
        PQfinish(m_conn);
    m_conn = nullptr;
    return status == 0 ? QString() : QStringLiteral("pg_ctlcluster stop: status %1").arg(status);
}

QString Database::startServer()
{
    const int status =
        QProcess::execute(QStringLiteral("pg_ctlcluster"),
                          {qEnvironmentVariable("PGVERSION"), QStringLiteral("regress"), QStringLiteral("start")});
    return status == 0 ? QString() : QStringLiteral("pg_ctlcluster start: status %1").arg(status);
}

int Database::terminateKiosks()
{
    return value(
               QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE usename = 'kiosk'"))
        .toInt();
}
