#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

struct pg_conn;
struct pg_result;

namespace dbsync {

// What went wrong with the server, in the words the staff line uses.
struct Failure
{
    enum class Kind {
        Unreachable, // down, hanging, cut off, busy: worth trying again soon
        Refused,     // the password, the certificate, the role or the schema: the operator must act
    };
    Kind kind = Kind::Unreachable;
    QString reason; // one short line
};

// The staff line's reason when the server kept silent for the whole time.
QString noAnswerWithin(std::chrono::milliseconds timeout);

// One libpq connection that never waits longer than it is told, and that another thread can cut short
// at any moment (interrupt()). Every wait is a poll() on the connection's socket and on a wake-up
// descriptor, so a server that accepts and never answers costs a deadline, not a hung thread.
class Connection final
{
public:
    using Clock = std::chrono::steady_clock;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const { return m_conn != nullptr; }
    void close();

    // Connects within the time, then sets the server's statement timeout. On failure: closed.
    std::optional<Failure> open(const QString& conninfo, std::chrono::milliseconds timeout);

    // Runs one statement with parameters (NULL where nullopt; in text form, but those from `binaryFrom`
    // on in binary form) and returns its single value, or the failure. A failure other than an error of
    // the statement itself closes the connection. The statement is prepared on the connection the first
    // time (named by its address: a string that lives as long as the program), and run prepared after.
    struct Answer
    {
        std::optional<Failure> failure;
        QByteArray value;
        QByteArray state; // the failed statement's SQLSTATE, if the server gave one
    };
    Answer exec(const char* statement, const QList<std::optional<QByteArray>>& parameters,
                std::chrono::milliseconds timeout, qsizetype binaryFrom = -1);

    // The first half of exec, without waiting: sends a statement already prepared on this connection.
    // Not where it cannot go this way (not connected, not prepared yet, the send failed), and exec then
    // does it all. Whole: the server has all of it, and answer() tells once its answer is in. Part: some
    // of it still waits for room in the socket, and exec with `sent` sends the rest and waits for the
    // answer.
    enum class Sent { Not, Whole, Part };
    Sent send(const char* statement, const QList<std::optional<QByteArray>>& parameters, qsizetype binaryFrom = -1);
    Answer exec(const char* statement, const QList<std::optional<QByteArray>>& parameters,
                std::chrono::milliseconds timeout, qsizetype binaryFrom, bool sent);

    // Without waiting: the answer to what was sent, once all of it is in (nullopt until then). For one
    // who watches socket() for reading meanwhile, and gives up with close() at its own deadline.
    std::optional<Answer> answer();
    int socket() const;

    // After an answer: true where it says that a pooler in front of the server lost the connection's
    // prepared statements (nothing ran), and the connection now sends its statements whole.
    bool lostPrepared(const Answer& answer);

    // From any thread: the wait under way, and every one after it, ends at once as a failure.
    void interrupt();

private:
    enum class Wait { Ready, TimedOut, Interrupted, Failed };
    Answer run(const char* statement, const QList<std::optional<QByteArray>>& parameters,
               std::chrono::milliseconds timeout, qsizetype binaryFrom, bool prepare, bool sent = false);
    struct Values
    {
        QList<const char*> values;
        QList<int> lengths, formats;
    };
    static Values valuesOf(const QList<std::optional<QByteArray>>& parameters, qsizetype binaryFrom);
    bool sendPrepared(const QByteArray& name, const Values& values);
    // The answer to what was sent, within the deadline.
    Answer finish(Clock::time_point deadline, std::chrono::milliseconds timeout);
    Answer m_answer;          // of what was sent, as far as it is in
    bool m_gotResult = false; // the server has said something of it
    Wait waitFor(bool forWriting, Clock::time_point deadline);
    Failure lost(const QString& why);

    pg_conn* m_conn = nullptr;
    QHash<const char*, QByteArray> m_prepared; // statement → its name on this connection
    bool m_prepares = true;
    int m_wake = -1; // an eventfd
};

} // namespace dbsync
