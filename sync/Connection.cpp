#include "sync/Connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace dbsync {
namespace {

QString firstLine(const char* message)
{
    QString text = QString::fromUtf8(message).trimmed();
    // libpq says which address it tried before saying what happened there.
    const qsizetype failed = text.indexOf(QStringLiteral(" failed: "));
    if (text.startsWith(QStringLiteral("connection to server")) && failed >= 0)
        text = text.mid(failed + 9);
    text = text.section(u'\n', 0, 0).trimmed();
    for (const QLatin1String level : {QLatin1String("FATAL:"), QLatin1String("ERROR:")}) {
        if (text.startsWith(level))
            text = text.mid(level.size()).trimmed();
    }
    return text;
}

// What only the operator can mend: retrying sooner changes nothing.
bool isRefusal(const QString& reason, const char* sqlstate)
{
    const QByteArray state = sqlstate ? QByteArray(sqlstate) : QByteArray();
    // 28: authorization; 42501 insufficient privilege; 42883, 3F000: no such function or schema.
    if (state.startsWith("28") || state == "42501" || state == "42883" || state == "3F000")
        return true;
    static const char* const words[] = {
        "password",       "authentication",       "certificate",       "does not support SSL",
        "does not exist", "no pg_hba.conf entry", "permission denied",
    };
    for (const char* word : words) {
        if (reason.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

QString noAnswerWithin(std::chrono::milliseconds timeout)
{
    return QStringLiteral("no answer within %1 s").arg(std::max<qint64>(1, (timeout.count() + 999) / 1000));
}

Connection::Connection()
    : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

Connection::~Connection()
{
    close();
    if (m_wake >= 0)
        ::close(m_wake);
}

void Connection::close()
{
    if (m_conn != nullptr)
        PQfinish(m_conn);
    m_conn = nullptr;
    m_prepared.clear();
    m_prepares = true;
    m_answer = {};
    m_gotResult = false;
}

void Connection::interrupt()
{
    const quint64 one = 1;
    if (::write(m_wake, &one, sizeof one) != sizeof one) {
        // The counter is already set: the wait ends anyway.
    }
}

Connection::Wait Connection::waitFor(bool forWriting, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Wait::TimedOut;
        pollfd fds[2] = {{PQsocket(m_conn), short(forWriting ? POLLOUT : POLLIN), 0}, {m_wake, POLLIN, 0}};
        const int ready = ::poll(fds, 2, int(std::min<qint64>(left.count(), 60000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Wait::Failed;
        if (fds[1].revents != 0)
            return Wait::Interrupted;
        if (fds[0].revents != 0)
            return Wait::Ready;
    }
}

Failure Connection::lost(const QString& why)
{
    close();
    return Failure{Failure::Kind::Unreachable, why};
}

std::optional<Failure> Connection::open(const QString& conninfo, std::chrono::milliseconds timeout)
{
    close();
    const Clock::time_point deadline = Clock::now() + timeout;
    // The string's own settings come last and win; the connection identifies itself in pg_stat_activity.
    const QByteArray seconds = QByteArray::number(std::max<qint64>(1, (timeout.count() + 999) / 1000));
    const QByteArray info = conninfo.toUtf8();
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {seconds.constData(), "quillmore", info.constData(), nullptr};
    m_conn = PQconnectStartParams(keywords, values, 1);
    if (m_conn == nullptr)
        return Failure{Failure::Kind::Unreachable, QStringLiteral("out of memory")};
    if (PQstatus(m_conn) == CONNECTION_BAD) {
        const QString reason = firstLine(PQerrorMessage(m_conn));
        close();
        return Failure{isRefusal(reason, nullptr) ? Failure::Kind::Refused : Failure::Kind::Unreachable, reason};
    }
    for (PostgresPollingStatusType status = PGRES_POLLING_WRITING;;) {
        if (status == PGRES_POLLING_OK)
            break;
        if (status == PGRES_POLLING_FAILED) {
            const QString reason = firstLine(PQerrorMessage(m_conn));
            close();
            return Failure{isRefusal(reason, nullptr) ? Failure::Kind::Refused : Failure::Kind::Unreachable, reason};
        }
        switch (waitFor(status == PGRES_POLLING_WRITING, deadline)) {
        case Wait::Ready:
            break;
        case Wait::TimedOut:
            return lost(noAnswerWithin(timeout));
        case Wait::Interrupted:
            return lost(QStringLiteral("stopped"));
        case Wait::Failed:
            return lost(QStringLiteral("poll failed"));
        }
        status = PQconnectPoll(m_conn);
    }
    // A notice (the server's word that it ends the connection, for one) is no business of stderr's: a
    // failure reaches the staff line through the call that meets it.
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    if (PQsetnonblocking(m_conn, 1) != 0)
        return lost(QStringLiteral("cannot make the connection non-blocking"));
    // The server gives up on a statement by itself too, so no lock or stall holds a batch for long.
    const QByteArray statementTimeout = QByteArray::number(qint64(timeout.count()));
    const Answer set = run("SELECT set_config('statement_timeout', $1, false)", {statementTimeout}, timeout, -1, false);
    if (set.failure)
        return set.failure;
    return std::nullopt;
}

Connection::Answer Connection::exec(const char* statement, const QList<std::optional<QByteArray>>& parameters,
                                    std::chrono::milliseconds timeout, qsizetype binaryFrom)
{
    return run(statement, parameters, timeout, binaryFrom, true);
}

Connection::Answer Connection::exec(const char* statement, const QList<std::optional<QByteArray>>& parameters,
                                    std::chrono::milliseconds timeout, qsizetype binaryFrom, bool sent)
{
    return run(statement, parameters, timeout, binaryFrom, true, sent);
}

Connection::Values Connection::valuesOf(const QList<std::optional<QByteArray>>& parameters, qsizetype binaryFrom)
{
    Values v;
    for (const std::optional<QByteArray>& parameter : parameters) {
        const bool binary = binaryFrom >= 0 && v.values.size() >= binaryFrom;
        v.values << (parameter ? parameter->constData() : nullptr);
        v.lengths << (parameter ? int(parameter->size()) : 0);
        v.formats << (binary ? 1 : 0);
    }
    return v;
}

Connection::Sent Connection::send(const char* statement, const QList<std::optional<QByteArray>>& parameters,
                                  qsizetype binaryFrom)
{
    const auto prepared = m_prepared.constFind(statement);
    if (m_conn == nullptr || prepared == m_prepared.cend() || !sendPrepared(*prepared, valuesOf(parameters, binaryFrom)))
        return Sent::Not;
    return PQflush(m_conn) == 0 ? Sent::Whole : Sent::Part;
}

int Connection::socket() const
{
    return m_conn != nullptr ? PQsocket(m_conn) : -1;
}

bool Connection::lostPrepared(const Answer& answer)
{
    if (!answer.failure || answer.state != "26000") // invalid_sql_statement_name
        return false;
    m_prepared.clear();
    m_prepares = false;
    return true;
}

bool Connection::sendPrepared(const QByteArray& name, const Values& v)
{
    return PQsendQueryPrepared(m_conn, name.constData(), int(v.values.size()), v.values.constData(),
                               v.lengths.constData(), v.formats.constData(), 0)
        == 1;
}

Connection::Answer Connection::run(const char* statement, const QList<std::optional<QByteArray>>& parameters,
                                   std::chrono::milliseconds timeout, qsizetype binaryFrom, bool prepare, bool sent)
{
    if (m_conn == nullptr)
        return {Failure{Failure::Kind::Unreachable, QStringLiteral("not connected")}, {}, {}};
    const Clock::time_point deadline = Clock::now() + timeout;
    const Values v = valuesOf(parameters, binaryFrom);
    // Prepared once per connection, the statement is not parsed and planned again at every call. A
    // pooler in front of the server may mix up connections' prepared statements (PgBouncer in
    // transaction mode): then the connection sends statements whole.
    auto prepared = prepare ? m_prepared.constFind(statement) : m_prepared.cend();
    if (!sent && prepare && prepared == m_prepared.cend() && m_prepares) {
        const QByteArray name = "quillmore_" + QByteArray::number(m_prepared.size());
        if (PQsendPrepare(m_conn, name.constData(), statement, int(v.values.size()), nullptr) != 1)
            return {lost(firstLine(PQerrorMessage(m_conn))), {}, {}};
        Answer answer = finish(deadline, timeout);
        if (answer.failure && answer.state != "42P05") // duplicate_prepared_statement: another client's
            return answer;
        if (answer.failure)
            m_prepares = false;
        else
            prepared = m_prepared.insert(statement, name);
    }
    if (sent || prepared != m_prepared.cend()) {
        if (!sent && !sendPrepared(*prepared, v))
            return {lost(firstLine(PQerrorMessage(m_conn))), {}, {}};
        Answer answer = finish(deadline, timeout);
        if (!lostPrepared(answer))
            return answer;
    }
    if (PQsendQueryParams(m_conn, statement, int(v.values.size()), nullptr, v.values.constData(), v.lengths.constData(),
                          v.formats.constData(), 0)
        != 1)
        return {lost(firstLine(PQerrorMessage(m_conn))), {}, {}};
    return finish(deadline, timeout);
}

Connection::Answer Connection::finish(Clock::time_point deadline, std::chrono::milliseconds timeout)
{
    const auto waited = [&](bool forWriting) -> std::optional<Failure> {
        switch (waitFor(forWriting, deadline)) {
        case Wait::Ready:
            return std::nullopt;
        case Wait::TimedOut:
            return lost(noAnswerWithin(timeout));
        case Wait::Interrupted:
            return lost(QStringLiteral("stopped"));
        case Wait::Failed:
            break;
        }
        return lost(QStringLiteral("poll failed"));
    };
    // A large batch may not fit the socket's buffer at once.
    for (;;) {
        const int flushed = PQflush(m_conn);
        if (flushed == 0)
            break;
        if (flushed < 0)
            return {lost(firstLine(PQerrorMessage(m_conn))), {}, {}};
        if (std::optional<Failure> failure = waited(true))
            return {failure, {}, {}};
        if (PQconsumeInput(m_conn) != 1)
            return {lost(firstLine(PQerrorMessage(m_conn))), {}, {}};
    }
    for (;;) {
        if (std::optional<Answer> answer = this->answer())
            return *answer;
        if (std::optional<Failure> failure = waited(false))
            return {failure, {}, {}};
    }
}

std::optional<Connection::Answer> Connection::answer()
{
    const auto ended = [this](Answer answer) {
        m_answer = {};
        m_gotResult = false;
        return answer;
    };
    if (m_conn == nullptr)
        return ended({Failure{Failure::Kind::Unreachable, QStringLiteral("not connected")}, {}, {}});
    if (PQconsumeInput(m_conn) != 1)
        return ended({lost(firstLine(PQerrorMessage(m_conn))), {}, {}});
    for (;;) {
        if (PQisBusy(m_conn))
            return std::nullopt;
        PGresult* result = PQgetResult(m_conn);
        if (result == nullptr)
            break;
        m_gotResult = true;
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_TUPLES_OK && PQntuples(result) == 1 && PQnfields(result) == 1 && !m_answer.failure)
            m_answer.value = QByteArray(PQgetvalue(result, 0, 0), PQgetlength(result, 0, 0));
        else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && !m_answer.failure) {
            const QString reason = firstLine(PQresultErrorMessage(result));
            const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
            m_answer.failure =
                Failure{isRefusal(reason, state) ? Failure::Kind::Refused : Failure::Kind::Unreachable, reason};
            m_answer.state = state != nullptr ? QByteArray(state) : QByteArray();
        }
        PQclear(result);
    }
    if (!m_gotResult)
        return ended({lost(QStringLiteral("no result")), {}, {}});
    Answer answer = ended(m_answer);
    if (PQstatus(m_conn) == CONNECTION_BAD)
        close();
    return answer;
}

} // namespace dbsync
