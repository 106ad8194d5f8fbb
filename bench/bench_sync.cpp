// The sync's cost, against a real server: run under pg_virtualenv (pg_virtualenv -t -- build/bench/bench_sync).
//
// Latency: from the press's durable append returning to the engine knowing the row is committed, beside
// one INSERT of the same row over libpq, committed on its own (the least a client can do per sign-up).
// The press with sync on and its server down (nothing listening) or hanging (a socket the kernel accepts
// and nobody answers), beside the press with sync off: the engine must not slow the press.
// A backlog drained by the engine in a process of its own, with its peak memory, beside psql's \copy;
// and fifty engines at once into the one server beside one engine with the same rows.
// pg_virtualenv turns the server's fsync off; -o fsync=on gives the commits a real server makes.
//
// Files live in a QTemporaryDir under $TMPDIR (else /tmp).

#include "bench/SampleEntry.h"
#include "Database.h"
#include "core/Files.h"
#include "core/SignUpRecord.h"
#include "sync/Engine.h"
#include "sync/Target.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Set up once in main, before the benchmarks run.
Database* g_db = nullptr;
PGconn* g_admin = nullptr; // the administrator's own connection, for the baseline
QTemporaryDir* g_dir = nullptr;
QProcessEnvironment g_adminEnvironment; // for psql
int g_counter = 0;

QString freshPath(const char* stem)
{
    const QString path = g_dir->filePath(QStringLiteral("%1-%2.csv").arg(QLatin1String(stem)).arg(++g_counter));
    QFile file(path);
    file.open(QIODevice::WriteOnly); // the engine watches a file that exists
    return path;
}

// An engine on its own data file, and a way to wait for it to have a given number of lines sent.
class WatchedEngine final
{
public:
    WatchedEngine(const QString& dataFile, const QString& conninfo)
    {
        const dbsync::Target target = dbsync::checkTarget(conninfo);
        dbsync::Settings settings;
        settings.dataFile = dataFile;
        settings.stateFile = dataFile + QStringLiteral(".state");
        settings.conninfo = conninfo;
        settings.kioskName = QStringLiteral("bench-%1").arg(++g_counter);
        settings.version = QStringLiteral("bench");
        m_engine = std::make_unique<dbsync::Engine>(settings, target.host, target.account);
        // On the engine's thread, as it tells: when it knew of each line sent.
        QObject::connect(
            m_engine.get(), &dbsync::Engine::statusChanged, m_engine.get(),
            [this] {
                const auto told = std::chrono::steady_clock::now();
                const qint64 sent = m_engine->status().sent;
                {
                    std::lock_guard lock(m_mutex);
                    if (sent > m_sent) {
                        m_sent = sent;
                        m_told = told;
                    }
                }
                m_changed.notify_all();
            },
            Qt::DirectConnection);
        m_engine->start();
    }

    // When the engine told it had that many lines sent; nullopt after 30 s without.
    std::optional<std::chrono::steady_clock::time_point> waitForSent(qint64 lines)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_sent >= lines; }))
            return std::nullopt;
        return m_told;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_sent = 0;
    std::chrono::steady_clock::time_point m_told;
    std::unique_ptr<dbsync::Engine> m_engine;
};

// Puts what a benchmark wrote to the server on disk before the next begins, outside the timing, so that
// its writing out does not fall on another benchmark's repetitions (their order is random).
void settleServer()
{
    PQclear(PQexec(g_admin, "CHECKPOINT"));
}

// Resident memory of this process, in KiB, from /proc/self/status.
double residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toDouble();
    return 0;
}

// Until the engine, on its own thread, has the server's word that the row is committed, as the bare
// INSERT below has it when PQexecParams returns; observer_us: the further wait until this thread, asleep
// meanwhile, has woken to it.
// Also the memory the engine adds: resident size before it starts, and after it has sent the run's rows.
void BM_PressToCommitted(benchmark::State& state)
{
    const QString path = freshPath("latency");
    const double before = residentKiB();
    WatchedEngine engine(path, g_db->kioskConninfo());
    const QString line = record::line(representativeEntry());
    qint64 lines = 0;
    double observer = 0;
    for (auto _ : state) {
        const QString error = platform::appendLineDurably(path, line);
        const auto appended = std::chrono::steady_clock::now();
        const std::optional<std::chrono::steady_clock::time_point> told =
            error.isEmpty() ? engine.waitForSent(++lines) : std::nullopt;
        if (!told) {
            state.SkipWithError(error.isEmpty() ? "the row did not arrive within 30 s" : qPrintable(error));
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*told - appended).count());
        observer += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - *told).count();
    }
    state.counters["observer_us"] = benchmark::Counter(observer, benchmark::Counter::kAvgIterations);
    state.counters["added_rss_KiB"] = residentKiB() - before;
}
BENCHMARK(BM_PressToCommitted)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The baseline: the same values in one INSERT into the engine's own table (its columns, its key, the rows
// already in it), committed by itself, over libpq. Arg: back to back, or each right after a press as
// the engine's row is (the press untimed): the server and the disk then meet each INSERT as they meet
// the engine's.
void BM_BareInsertCommit(benchmark::State& state)
{
    const bool afterPress = state.range(0) != 0;
    const QString path = freshPath("bare");
    const QString line = record::line(representativeEntry());
    const record::Entry entry = representativeEntry();
    // A kiosk name of its own, and each row its own line of the file, as the key wants.
    QList<QByteArray> values = {QByteArray("bare-") + QByteArray::number(++g_counter),
                                "/var/lib/quillmore/signups.csv",
                                "0",
                                "2026-05-01 14:02:00+00",
                                entry.firstName.toUtf8(),
                                entry.lastName.toUtf8(),
                                entry.email.toUtf8(),
                                entry.postCode.toUtf8(),
                                entry.city.toUtf8(),
                                "",
                                entry.country.toUtf8(),
                                entry.cell.toUtf8(),
                                entry.carrier.toUtf8(),
                                entry.aolScreenName.toUtf8(),
                                entry.mySpaceUserName.toUtf8(),
                                entry.yearBorn.toUtf8(),
                                entry.gender.toUtf8(),
                                ""};
    const char* params[18];
    qint64 rows = 0;
    const char* insert =
        "INSERT INTO quillmore.signup (kiosk, data_file, line_offset, signed_up_at, first_name, last_name, email, "
        "post_code, city, column_6, country, cell, carrier, aol_screen_name, myspace_user_name, year_born, gender, "
        "column_14) VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15,$16,$17,$18)";
    for (auto _ : state) {
        if (afterPress) {
            if (const QString error = platform::appendLineDurably(path, line); !error.isEmpty()) {
                state.SkipWithError(qPrintable(error));
                break;
            }
        }
        values[2] = QByteArray::number(rows++ * (line.size() + 1));
        for (int i = 0; i < 18; ++i)
            params[i] = values[i].constData();
        const auto started = std::chrono::steady_clock::now();
        PGresult* result = PQexecParams(g_admin, insert, 18, nullptr, params, nullptr, nullptr, 0);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
        if (!ok) {
            state.SkipWithError(PQerrorMessage(g_admin));
            break;
        }
    }
}
BENCHMARK(BM_BareInsertCommit)
    ->ArgName("after_press")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A local port with nothing on it: bound, then let go (another process taking it meanwhile is unlikely).
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A port that listens and never answers: the kernel completes the connection, nobody reads it.
int hangingPort(int* fdOut)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 16);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    *fdOut = fd;
    return ntohs(address.sin_port);
}

enum class Sync { Off, Down, Hanging };

// Args: Sync, and whether the presses come back to back or as a kiosk's do, far apart (here every
// 20 ms, the engine long done with one before the next). The press as bench_signup times it: build the
// line, append it durably; only the press is timed.
void BM_PressWithSync(benchmark::State& state)
{
    const bool paced = state.range(1) != 0;
    const QString path = freshPath("press");
    std::unique_ptr<WatchedEngine> engine;
    int listening = -1;
    switch (Sync(state.range(0))) {
    case Sync::Off:
        break;
    case Sync::Down:
        engine = std::make_unique<WatchedEngine>(
            path, QStringLiteral("host=127.0.0.1 port=%1 dbname=quillmore user=kiosk").arg(closedPort()));
        break;
    case Sync::Hanging:
        engine = std::make_unique<WatchedEngine>(
            path, QStringLiteral("host=127.0.0.1 port=%1 dbname=quillmore user=kiosk").arg(hangingPort(&listening)));
        break;
    }
    const record::Entry entry = representativeEntry();
    for (auto _ : state) {
        if (paced)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto start = std::chrono::steady_clock::now();
        const QString error = platform::appendLineDurably(path, record::line(entry));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!error.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
    engine.reset();
    if (listening >= 0)
        ::close(listening);
}
BENCHMARK(BM_PressWithSync)
    ->ArgNames({"sync_off0_down1_hanging2", "paced"})
    ->ArgsProduct({{int(Sync::Off), int(Sync::Down), int(Sync::Hanging)}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A file of that many sign-ups, synced, made outside the timing.
QString backlogFile(int lines, const QByteArray& line)
{
    const QString path = freshPath("backlog");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const QByteArray block = line.repeated(1000);
    for (int written = 0; written < lines; written += 1000)
        file.write(block);
    file.flush();
    ::fsync(file.handle());
    return path;
}

// Arg: lines waiting. The engine in a process of its own (syncagent, as the kiosk runs it) from its start
// to every line confirmed, and that process's peak resident size: it should not grow with the backlog.
void BM_BacklogDrain(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const QByteArray line = record::line(representativeEntry()).toUtf8() + '\n';
    const QByteArray done = QByteArray::number(lines) + ' ' + QByteArray::number(lines);
    double peak = 0;
    for (auto _ : state) {
        const QString path = backlogFile(lines, line);
        QProcess agent;
        agent.setProcessEnvironment(g_db->kioskEnvironment());
        const auto started = std::chrono::steady_clock::now();
        agent.start(QStringLiteral(QUILLMORE_SYNCAGENT),
                    {path, path + QStringLiteral(".state"), g_db->kioskConninfo(),
                     QStringLiteral("backlog-%1").arg(++g_counter)});
        bool drained = false;
        while (!drained && agent.waitForReadyRead(60000))
            while (agent.canReadLine())
                if (agent.readLine().mid(2).startsWith(done))
                    drained = true;
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        QFile status(QStringLiteral("/proc/%1/status").arg(agent.processId()));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& row : status.readAll().split('\n'))
                if (row.startsWith("VmHWM:"))
                    peak = row.mid(6).trimmed().split(' ').constFirst().toDouble();
        agent.closeWriteChannel();
        if (!agent.waitForFinished(30000))
            agent.kill(), agent.waitForFinished();
        settleServer();
        if (!drained) {
            state.SkipWithError("the backlog did not drain");
            break;
        }
    }
    state.counters["peak_rss_KiB"] = peak;
}
BENCHMARK(BM_BacklogDrain)
    ->Arg(10'000)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// The baseline: psql's \copy of the same rows, with the identity the engine sends, into a table of the
// same columns and key.
void BM_BacklogPsqlCopy(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const record::Entry e = representativeEntry();
    const QString row = QStringLiteral(",/var/lib/quillmore/signups.csv,%1,2026-05-01 14:02:00+00,\"%2\",\"%3\",\"%4\","
                                       "\"%5\",\"%6\",\"\",\"%7\",\"%8\",\"%9\",\"%10\",\"%11\",\"%12\",\"%13\",\"\"\n")
                            .arg(QStringLiteral("%1"), e.firstName, e.lastName, e.email, e.postCode, e.city, e.country,
                                 e.cell, e.carrier, e.aolScreenName, e.mySpaceUserName, e.yearBorn, e.gender);
    for (auto _ : state) {
        const QString kiosk = QStringLiteral("copy-%1").arg(++g_counter);
        const QString path = g_dir->filePath(kiosk + QStringLiteral(".csv"));
        {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            QByteArray text;
            for (int i = 0; i < lines; ++i)
                text += (kiosk + row.arg(qint64(i) * 200)).toUtf8();
            file.write(text);
            file.flush();
            ::fsync(file.handle());
        }
        QProcess psql;
        psql.setProcessEnvironment(g_adminEnvironment);
        const auto started = std::chrono::steady_clock::now();
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                    QStringLiteral("-c"),
                    QStringLiteral("\\copy bench_backlog (kiosk, data_file, line_offset, signed_up_at, first_name, "
                                   "last_name, email, post_code, city, column_6, country, cell, carrier, "
                                   "aol_screen_name, myspace_user_name, year_born, gender, column_14) FROM '%1' "
                                   "WITH (FORMAT csv)")
                        .arg(path)});
        const bool ok = psql.waitForFinished(120000) && psql.exitCode() == 0;
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        settleServer();
        if (!ok) {
            state.SkipWithError(psql.readAllStandardError().constData());
            break;
        }
    }
}
BENCHMARK(BM_BacklogPsqlCopy)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Args: engines, lines each. That many syncagent processes at once, each with a file of its own and a name
// of its own, into the one server; from their start to every row in the table, counted by the
// administrator. Beside it the same 100,000 rows from one engine (Args 1, 100000).
void BM_Fleet(benchmark::State& state)
{
    const int engines = int(state.range(0));
    const int lines = int(state.range(1));
    const QByteArray line = record::line(representativeEntry()).toUtf8() + '\n';
    qint64 arrived = 0;
    for (auto _ : state) {
        const QString prefix = QStringLiteral("fleet-%1-").arg(++g_counter);
        QStringList files;
        for (int i = 0; i < engines; ++i)
            files << backlogFile(lines, line);
        std::vector<std::unique_ptr<QProcess>> agents;
        const auto started = std::chrono::steady_clock::now();
        for (int i = 0; i < engines; ++i) {
            auto agent = std::make_unique<QProcess>();
            agent->setProcessEnvironment(g_db->kioskEnvironment());
            agent->setStandardOutputFile(QProcess::nullDevice());
            agent->start(
                QStringLiteral(QUILLMORE_SYNCAGENT),
                {files[i], files[i] + QStringLiteral(".state"), g_db->kioskConninfo(), prefix + QString::number(i)});
            agents.push_back(std::move(agent));
        }
        const QByteArray count = "SELECT count(*) FROM quillmore.signup WHERE kiosk LIKE '" + prefix.toUtf8() + "%'";
        const auto deadline = started + std::chrono::seconds(300);
        arrived = 0;
        while (arrived < qint64(engines) * lines && std::chrono::steady_clock::now() < deadline) {
            ::usleep(20000);
            PGresult* result = PQexec(g_admin, count.constData());
            arrived = PQresultStatus(result) == PGRES_TUPLES_OK ? QByteArray(PQgetvalue(result, 0, 0)).toLongLong() : 0;
            PQclear(result);
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        for (auto& agent : agents)
            agent->closeWriteChannel();
        for (auto& agent : agents)
            if (!agent->waitForFinished(30000))
                agent->kill(), agent->waitForFinished();
        settleServer();
        // The table's key (kiosk, data file, offset) keeps a row from arriving twice; this is every row once.
        if (arrived != qint64(engines) * lines) {
            state.SkipWithError("not every row arrived");
            break;
        }
    }
    state.counters["rows"] = double(arrived);
}
BENCHMARK(BM_Fleet)
    ->Args({50, 2000})
    ->Args({1, 100'000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    Database db;
    if (!dir.isValid() || !db.isReady()) {
        std::fprintf(stderr, "bench_sync: needs the server pg_virtualenv starts (%s)\n", qPrintable(db.error()));
        return 1;
    }
    // The administrator writes the baselines' rows; \copy's table has the same columns and key as the engine's.
    g_admin = PQconnectdb("");
    PGresult* made = PQexec(g_admin, "CREATE TABLE bench_backlog (LIKE quillmore.signup INCLUDING ALL)");
    if (PQresultStatus(made) != PGRES_COMMAND_OK) {
        std::fprintf(stderr, "bench_sync: %s\n", PQerrorMessage(g_admin));
        return 1;
    }
    PQclear(made);
    g_adminEnvironment = QProcessEnvironment::systemEnvironment();
    db.actAsKiosk();
    g_db = &db;
    g_dir = &dir;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PQfinish(g_admin);
    return 0;
}
