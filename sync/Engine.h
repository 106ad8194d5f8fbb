#pragma once

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <thread>

class QEventLoop;

// Sends every complete line of the data file to a PostgreSQL database, each once, whatever fails.
//
// The data file stays the kiosk's record: the engine only reads it, never holds its lock longer than a
// look at its end, and never slows the press. It runs on three threads of its own: one watches the file,
// reads it, keeps the times file, and sends a sign-up's batch and takes its answer without waiting for
// it; one connects and sends larger batches, every wait bounded and cut short at shutdown; one writes
// the state file.
namespace dbsync {

struct Settings
{
    QString dataFile;  // absolute path
    QString stateFile; // absolute path; the times file is beside it
    QString conninfo;
    QString kioskName;
    QString version;
    std::chrono::milliseconds timeout{10000};     // to connect, and for each statement
    std::chrono::milliseconds firstRetry{2000};   // the first wait after a failure; it doubles
    std::chrono::milliseconds lastRetry{300000};  // up to this
    std::chrono::milliseconds statusEvery{60000}; // the status row, at most this often
    int batchLines = 1000;
    qint64 batchBytes = 4 * 1024 * 1024;
};

// Beside the state file: the times file, and a second name of the data file being sent.
QString timesFileOf(const QString& stateFile);
QString heldFileOf(const QString& stateFile);

// What the engine knows, for the staff line.
struct Status
{
    enum class State {
        Starting, // not yet through the file
        Sent,     // the last attempt went through
        Waiting,  // the server cannot be reached now; tries again
        Refused,  // the server refused the kiosk (password, certificate, role); tries again on each sign-up
    };
    State state = State::Starting;
    QString host;             // db.example.org
    QString account;          // kiosk@db.example.org
    qint64 lines = 0;         // complete lines in the data file
    qint64 sent = 0;          // of those, confirmed by the database
    QString reason;           // Waiting, Refused: what the last attempt met
    QDateTime failingSince;   // Waiting, Refused: since when nothing got through
    qint64 asideLines = 0;    // lines that did not read as a sign-up, sent as they are
    qint64 lastAsideLine = 0; // the number of the latest one
    quint64 attempts = 0;     // batches and status rows tried, for tests that wait for one more

    qint64 waiting() const { return lines - sent; }
};

class Link;
class Worker;

class Engine final : public QObject
{
    Q_OBJECT
public:
    // host and account as checkTarget gave them.
    Engine(Settings settings, QString host, QString account);
    ~Engine() override;

    // Reads the state, goes through the file and starts sending. Returns at once.
    void start();

    // A copy, from any thread.
    Status status() const;

    // From any thread: look at the file now (the file system's watch does this by itself).
    void wake();

Q_SIGNALS:
    // From the engine's thread, after each attempt and each change of the file.
    void statusChanged();

private:
    friend class Worker;
    void publish(const Status& status);

    Settings m_settings;
    mutable QMutex m_mutex;
    Status m_status;
    // The file thread: a thread of its own running Qt's event loop, rather than a QThread, so that the
    // engine's end joins it. A QThread's wait() returns before the thread has run its thread-local
    // destructors, OpenSSL's among them (the worker reads answers over TLS), and those then met
    // OpenSSL's own cleanup as the process exited, freeing the same memory twice.
    std::thread m_fileThread;
    QEventLoop* m_fileLoop = nullptr;
    bool m_started = false;
    Link* m_link = nullptr;
    Worker* m_worker = nullptr;
};

} // namespace dbsync
