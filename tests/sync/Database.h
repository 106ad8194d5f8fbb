#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

struct pg_conn;

// The throw-away server pg_virtualenv started for this test (its PG* variables), seen by an
// administrator: it installs the SQL file, makes the kiosks' login role, and reads back what arrived.
class Database final
{
public:
    // Installs quillmore-sync.sql and the role "kiosk" with a password in a .pgpass of its own.
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isReady() const { return m_conn != nullptr && m_error.isEmpty(); }
    QString error() const { return m_error; } // of the last query

    // Rows of text (NULL as a null QString); on an error, empty and error() says why.
    QList<QStringList> query(const QString& sql, const QStringList& parameters = {});
    QString value(const QString& sql, const QStringList& parameters = {});
    // What COPY (sql) TO STDOUT writes in the given options, as psql's \copy writes it to a file.
    QByteArray copyOut(const QString& sql, const QString& options);

    // The kiosk's connection string, and the environment an engine runs in to use it: the .pgpass
    // holds the kiosk's password, and the administrator's PGPASSWORD is gone.
    QString kioskConninfo(const QString& extra = {}) const;
    QProcessEnvironment kioskEnvironment(const QString& password = QStringLiteral("kiosk-secret")) const;
    // The same for this process, for an engine run in it.
    void actAsKiosk() const;

    // Every line that arrived from a kiosk, rebuilt as the line the kiosk wrote (without its line
    // break): the 14 values quoted as the sign-up quotes them, or the unparsed bytes as they were.
    QList<QByteArray> arrivedLines(const QString& kiosk);

    // Stops and starts the server (pg_ctlcluster on the virtual cluster). Returns an error text or empty.
    QString stopServer();
    QString startServer();
    // Cuts every kiosk connection, as a server restart or a network fault would after a commit.
    int terminateKiosks();

    QString folder() const { return m_dir.path(); }

private:
    void reconnect();

    pg_conn* m_conn = nullptr;
    QString m_error;
    QTemporaryDir m_dir;
};
