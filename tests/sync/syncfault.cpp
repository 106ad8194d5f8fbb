// The sync's fault matrix, against the real server pg_virtualenv started: every line the kiosk wrote
// reaches the table exactly once, byte for byte, whatever fails on the way.
//
//   pg_virtualenv -t -- syncfault [kills] [--seed N]
//
// Each fault in turn, on a data file that a writer thread keeps appending to as the Sign Me Up press
// does (its records, appendLineDurably), now and then leaving a torn tail or a line edited by hand:
//   kills       the engine killed with SIGKILL at random moments and started again, the kiosk
//               connections cut at random (pg_terminate_backend, after or before a commit), the file
//               moved away and a new one begun, some of it while no engine runs
//   stop        the server stopped in the middle of a backlog and started again
//   hang        a server that accepts the connection and never answers
//   password    the wrong password
//   certificate a certificate that does not match the host
//   two kiosks  two engines sending to one table at once
// After each, one engine is left to finish: the table must then hold each complete line of every file
// once. The figures are printed at the end.
#include "Database.h"

#include "core/Files.h"
#include "core/Lists.h"
#include "core/SignUpRecord.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Rng = std::mt19937_64;

QString g_folder;

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "FAIL: %s\n", qUtf8Printable(why));
    if (!g_folder.isEmpty())
        std::fprintf(stderr, "The files are kept in %s\n", qUtf8Printable(g_folder));
    std::exit(1);
}

int uniform(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

// Values that are hard to carry: quotes, commas, backslashes and braces (the array syntax), several
// UTF-8 lengths, the characters the record blanks.
QString text(Rng& rng)
{
    static const QStringList pieces = {
        QStringLiteral("Ann"), QStringLiteral("\""),   QStringLiteral(","),    QStringLiteral("\\"),
        QStringLiteral("{"),   QStringLiteral("}"),    QStringLiteral("NULL"), QStringLiteral(" "),
        QStringLiteral("Zoë"), QStringLiteral("中文"), QStringLiteral("😀"),    QStringLiteral("\t"),
        QStringLiteral("'"),   QStringLiteral("\\\""),
    };
    const int length = uniform(rng, 0, 49) == 0 ? uniform(rng, 200, 3000) : uniform(rng, 0, 8);
    QString value;
    while (value.size() < length)
        value += pieces[uniform(rng, 0, int(pieces.size()) - 1)];
    return value;
}

QString signUp(Rng& rng, qint64 serial)
{
    record::Entry e;
    e.firstName = QStringLiteral("%1 ").arg(serial) + text(rng);
    e.lastName = text(rng);
    e.email = text(rng) + QStringLiteral("@example.org");
    e.postCode = text(rng);
    e.city = text(rng);
    e.country = lists::countries()[uniform(rng, 0, int(lists::countries().size()) - 1)];
    e.cell = uniform(rng, 0, 1) ? QStringLiteral("4165550199") : QString();
    e.carrier = lists::carriers()[uniform(rng, 1, int(lists::carriers().size()) - 1)];
    e.aolScreenName = text(rng);
    e.mySpaceUserName = text(rng);
    e.yearBornRow = uniform(rng, 0, int(lists::years().size()) - 1);
    e.yearBorn = lists::years()[e.yearBornRow];
    e.genderRow = uniform(rng, 0, 2);
    e.gender = lists::genders()[e.genderRow];
    return record::line(e);
}

// The kiosk's side: appends sign-ups on a thread of its own until stopped; every so often a torn tail
// (as a power cut leaves it, mended by the next append) or a line typed in by hand.
class Writer final
{
public:
    Writer(QString path, quint64 seed)
        : m_path(std::move(path))
        , m_rng(seed)
    {
    }
    ~Writer() { stop(); }

    void appendSome(int count)
    {
        for (int i = 0; i < count; ++i)
            appendOne();
    }

    // A backlog, such as a day offline leaves: whole lines, written in one go.
    void appendBacklog(int count)
    {
        const std::lock_guard lock(m_mutex);
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes += signUp(m_rng, m_serial++).toUtf8() + '\n';
        QFile file(m_path);
        if (!file.open(QIODevice::Append) || file.write(bytes) != bytes.size() || !file.flush())
            fail(QStringLiteral("cannot write the backlog"));
        m_acknowledged += count;
    }

    void start(int maxPauseUs)
    {
        m_running = true;
        m_thread = std::thread([this, maxPauseUs] {
            while (m_running) {
                appendOne();
                ::usleep(useconds_t(uniform(m_rng, 0, maxPauseUs)));
            }
        });
    }
    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }

    // Moves the file away between two appends, as an operator's mv lands between two sign-ups.
    void moveFileTo(const QString& path)
    {
        const std::lock_guard lock(m_mutex);
        if (!QFile::rename(m_path, path))
            fail(QStringLiteral("cannot move the data file"));
    }

    qint64 acknowledged() const { return m_acknowledged; }
    qint64 torn() const { return m_torn; }
    qint64 edited() const { return m_edited; }

private:
    void appendOne()
    {
        const std::lock_guard lock(m_mutex);
        const int kind = uniform(m_rng, 0, 99);
        if (kind == 0) {
            // Part of a line and no line break: the next append ends it, and it becomes a line that
            // does not read as a sign-up.
            QFile file(m_path);
            if (file.open(QIODevice::Append))
                file.write(signUp(m_rng, -1).toUtf8().left(uniform(m_rng, 1, 40)));
            ++m_torn;
            return;
        }
        const QString line =
            kind == 1 ? QStringLiteral("edited by hand, %1").arg(m_serial++) : signUp(m_rng, m_serial++);
        if (const QString error = platform::appendLineDurably(m_path, line); !error.isEmpty())
            fail(error);
        ++m_acknowledged;
        m_edited += kind == 1;
    }

    QString m_path;
    Rng m_rng;
    std::mutex m_mutex;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<qint64> m_acknowledged{0};
    std::atomic<qint64> m_torn{0};
    std::atomic<qint64> m_edited{0};
    qint64 m_serial = 0;
};

// One engine, as the kiosk runs it (tests/sync/syncagent), printing its status after each change.
class Agent final
{
public:
    struct Line
    {
        int state = 0;
        qint64 lines = 0;
        qint64 sent = 0;
        QString reason;
    };

    void start(const QString& dataFile, const QString& stateFile, const QString& conninfo, const QString& kiosk,
               const QProcessEnvironment& environment, int timeoutMs = 5000)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(QUILLMORE_SYNCAGENT),
                        {dataFile, stateFile, conninfo, kiosk, QString::number(timeoutMs)});
        if (!m_process.waitForStarted(-1))
            fail(QStringLiteral("syncagent: %1").arg(m_process.errorString()));
    }

    // Reads the status lines until one meets the condition.
    // A condition that never comes fails the run, with what the engine said last, rather than hang it.
    Line waitFor(const std::function<bool(const Line&)>& condition)
    {
        const QDeadlineTimer deadline(std::chrono::minutes(5));
        for (;;) {
            while (!m_process.canReadLine()) {
                if (m_process.state() != QProcess::Running && !m_process.waitForReadyRead(0))
                    fail(QStringLiteral("syncagent ended (status %1)").arg(m_process.exitCode()));
                if (deadline.hasExpired())
                    fail(QStringLiteral("syncagent never said what was waited for in 5 minutes; it last said: "
                                        "%1 %2 %3 %4")
                             .arg(m_last.state)
                             .arg(m_last.lines)
                             .arg(m_last.sent)
                             .arg(m_last.reason));
                m_process.waitForReadyRead(1000);
            }
            const QString text = QString::fromUtf8(m_process.readLine()).chopped(1);
            const QStringList fields = text.split(u' ');
            Line line{fields.value(0).toInt(), fields.value(1).toLongLong(), fields.value(2).toLongLong(),
                      text.section(u' ', 3)};
            m_last = line;
            if (condition(line))
                return line;
        }
    }
    // Everything of the file it reads now is confirmed.
    Line waitUntilSent(qint64 lines)
    {
        return waitFor([lines](const Line& l) { return l.state == 1 && l.lines == lines && l.sent == lines; });
    }

    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(-1);
    }
    void stop()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(-1) || m_process.exitCode() != 0)
            fail(QStringLiteral("syncagent did not end cleanly"));
    }
    ~Agent()
    {
        if (m_process.state() != QProcess::NotRunning)
            kill();
    }

private:
    QProcess m_process;
    Line m_last;
};

qint64 completeLines(const QString& path)
{
    const platform::LineCount count = platform::countCompleteLines(path);
    return count.outcome == platform::LineCount::Outcome::Counted ? count.lines : 0;
}

struct Figures
{
    QString fault;
    int faults = 0; // kills, cuts, stops...
    qint64 acknowledged = 0;
    qint64 inTable = 0;
    qint64 lost = 0;
    qint64 duplicated = 0;
    QString note;
};
QList<Figures> g_figures;

// Every complete line of the files, once, as the table holds it.
void verify(Database& db, const QString& kiosk, const QStringList& files, Figures figures)
{
    QHash<QByteArray, int> written;
    qint64 lines = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const QList<QByteArray> split = bytes.left(bytes.lastIndexOf('\n') + 1).split('\n');
        for (qsizetype i = 0; i + 1 < split.size(); ++i) {
            ++written[split[i]];
            ++lines;
        }
    }
    const QList<QByteArray> arrived = db.arrivedLines(kiosk);
    QHash<QByteArray, int> inTable;
    for (const QByteArray& line : arrived)
        ++inTable[line];
    qint64 lost = 0;
    qint64 duplicated = 0;
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        const int there = inTable.value(it.key());
        lost += std::max(0, it.value() - there);
        duplicated += std::max(0, there - it.value());
    }
    for (auto it = inTable.cbegin(); it != inTable.cend(); ++it) {
        if (!written.contains(it.key()))
            duplicated += it.value(); // a row that is no line of the files
    }
    // Where the lost ones were: the lines of each file that are not in the table.
    QStringList lostIn;
    for (const QString& path : files) {
        QFile file(path);
        if (lost == 0 || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const QList<QByteArray> split = bytes.left(bytes.lastIndexOf('\n') + 1).split('\n');
        const qsizetype missing = std::count_if(split.cbegin(), split.cend() - 1,
                                                [&](const QByteArray& line) { return !inTable.contains(line); });
        if (missing > 0)
            lostIn
                << QStringLiteral("%1 of %2 in %3").arg(missing).arg(split.size() - 1).arg(QFileInfo(path).fileName());
    }
    figures.inTable = arrived.size();
    figures.lost = lost;
    figures.duplicated = duplicated;
    g_figures << figures;
    if (lost != 0 || duplicated != 0 || qint64(arrived.size()) != lines)
        fail(QStringLiteral("%1: %2 lines written, %3 rows, %4 lost, %5 twice or not written (lost: %6)")
                 .arg(figures.fault)
                 .arg(lines)
                 .arg(arrived.size())
                 .arg(lost)
                 .arg(duplicated)
                 .arg(lostIn.join(QStringLiteral(", "))));
}

struct Place
{
    QString dataFile;
    QString stateFile;
};

Place placeFor(const QString& name)
{
    const QString folder = g_folder + u'/' + name;
    QDir().mkpath(folder + QStringLiteral("/Desktop"));
    QDir().mkpath(folder + QStringLiteral("/config"));
    return {folder + QStringLiteral("/Desktop/quillmore.csv"), folder + QStringLiteral("/config/quillmore-sync.txt")};
}

void kills(Database& db, int rounds, Rng& rng)
{
    const QString kiosk = QStringLiteral("kills");
    const Place place = placeFor(kiosk);
    Writer writer(place.dataFile, rng());
    writer.appendSome(200);
    writer.start(3000);
    QStringList files{place.dataFile};
    int moves = 0;
    // Meanwhile the kiosk's connections are cut at random moments, before, during or after a commit.
    std::atomic<bool> cutting{true};
    std::atomic<int> cuts{0};
    std::thread cutter([&cutting, &cuts, seed = rng()] {
        Rng cutRng(seed);
        PGconn* admin = PQconnectdb("");
        while (cutting) {
            ::usleep(useconds_t(uniform(cutRng, 0, 100000)));
            PGresult* result = PQexec(admin,
                                      "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                      "WHERE usename = 'kiosk'");
            if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1)
                cuts += atoi(PQgetvalue(result, 0, 0));
            PQclear(result);
        }
        PQfinish(admin);
    });
    for (int round = 0; round < rounds; ++round) {
        Agent agent;
        agent.start(place.dataFile, place.stateFile, db.kioskConninfo(), kiosk, db.kioskEnvironment());
        ::usleep(useconds_t(uniform(rng, 0, uniform(rng, 0, 3) == 0 ? 600000 : 150000)));
        agent.kill();
        // The next event begins: the file is moved away, with no engine running to see it. Not after the
        // last round: the last engine is waited on for the lines of a file that is there.
        if (round % 50 == 49 && round + 1 < rounds) {
            const QString moved = place.dataFile + QStringLiteral(".event-%1").arg(++moves);
            writer.moveFileTo(moved);
            files.prepend(moved);
        }
    }
    writer.stop();
    cutting = false;
    cutter.join();
    Agent last;
    last.start(place.dataFile, place.stateFile, db.kioskConninfo(), kiosk, db.kioskEnvironment());
    last.waitUntilSent(completeLines(place.dataFile));
    last.stop();
    const qint64 timed = db.value(QStringLiteral("SELECT count(*) FROM quillmore.signup WHERE kiosk = $1 AND "
                                                 "signed_up_at IS NOT NULL"),
                                  {kiosk})
                             .toLongLong();
    verify(db, kiosk, files,
           {QStringLiteral("SIGKILL of the engine"), rounds, writer.acknowledged(), 0, 0, 0,
            QStringLiteral("%1 connections cut, %2 files moved away, %3 torn tails and %4 edited lines set aside, "
                           "%5 rows with their time")
                .arg(cuts.load())
                .arg(moves)
                .arg(writer.torn())
                .arg(writer.edited())
                .arg(timed)});
}

void serverStopped(Database& db, Rng& rng)
{
    const QString kiosk = QStringLiteral("stop");
    const Place place = placeFor(kiosk);
    Writer writer(place.dataFile, rng());
    writer.appendBacklog(30000);
    Agent agent;
    agent.start(place.dataFile, place.stateFile, db.kioskConninfo(), kiosk, db.kioskEnvironment());
    // In the middle of the backlog.
    agent.waitFor([](const Agent::Line& l) { return l.sent > 0; });
    if (const QString error = db.stopServer(); !error.isEmpty())
        fail(error);
    writer.appendSome(50); // the form goes on
    const Agent::Line waiting = agent.waitFor([](const Agent::Line& l) { return l.state == 2; });
    if (const QString error = db.startServer(); !error.isEmpty())
        fail(error);
    agent.waitUntilSent(completeLines(place.dataFile));
    agent.stop();
    verify(db, kiosk, {place.dataFile},
           {QStringLiteral("server stopped mid-backlog"), 1, writer.acknowledged(), 0, 0, 0,
            QStringLiteral("staff line: \"%1\"").arg(waiting.reason)});
}

// A server that accepts connections and never says a word.
void hangingServer(Database& db, Rng& rng)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        fail(QStringLiteral("no listening socket"));

    const QString kiosk = QStringLiteral("hang");
    const Place place = placeFor(kiosk);
    Writer writer(place.dataFile, rng());
    writer.appendSome(100);
    Agent agent;
    agent.start(place.dataFile, place.stateFile,
                QStringLiteral("host=127.0.0.1 port=%1 dbname=postgres user=kiosk").arg(ntohs(address.sin_port)), kiosk,
                db.kioskEnvironment(), 1000);
    const Agent::Line first = agent.waitFor([](const Agent::Line& l) { return l.state == 2; });
    writer.appendSome(100); // the form goes on meanwhile; each new line wakes the engine again
    // Not 200 lines when the last append left a torn tail: the engine counts only whole lines.
    const qint64 lines = completeLines(place.dataFile);
    agent.waitFor([lines](const Agent::Line& l) { return l.state == 2 && l.lines == lines; });
    agent.stop(); // it ends at once, although the server still has not answered
    ::close(listener);

    Agent mended;
    mended.start(place.dataFile, place.stateFile, db.kioskConninfo(), kiosk, db.kioskEnvironment());
    mended.waitUntilSent(completeLines(place.dataFile));
    mended.stop();
    verify(db, kiosk, {place.dataFile},
           {QStringLiteral("server accepts, never answers"), 1, writer.acknowledged(), 0, 0, 0,
            QStringLiteral("staff line: \"%1\"").arg(first.reason)});
}

// A fault the operator must mend, then mended: nothing of what waited is lost.
void refusedThenMended(Database& db, Rng& rng, const QString& kiosk, const QString& fault, const QString& conninfo,
                       const QProcessEnvironment& environment, const QString& expected, const QString& mendedConninfo)
{
    const Place place = placeFor(kiosk);
    Writer writer(place.dataFile, rng());
    writer.appendSome(300);
    Agent agent;
    agent.start(place.dataFile, place.stateFile, conninfo, kiosk, environment);
    const Agent::Line refused = agent.waitFor([](const Agent::Line& l) { return l.state == 3; });
    if (!refused.reason.contains(expected))
        fail(QStringLiteral("%1: the reason is \"%2\"").arg(fault, refused.reason));
    agent.stop();
    Agent mended;
    mended.start(place.dataFile, place.stateFile, mendedConninfo, kiosk, db.kioskEnvironment());
    mended.waitUntilSent(completeLines(place.dataFile));
    mended.stop();
    verify(db, kiosk, {place.dataFile},
           {fault, 1, writer.acknowledged(), 0, 0, 0, QStringLiteral("staff line: \"%1\"").arg(refused.reason)});
}

// The server's certificate names another host.
QString certificateForAnotherHost(Database& db)
{
    const QString folder = g_folder + QStringLiteral("/tls");
    QDir().mkpath(folder);
    QProcess openssl;
    openssl.setStandardOutputFile(QProcess::nullDevice());
    openssl.setStandardErrorFile(QProcess::nullDevice());
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"),
                   QStringLiteral("-subj"), QStringLiteral("/CN=another.example.org"), QStringLiteral("-keyout"),
                   folder + QStringLiteral("/server.key"), QStringLiteral("-out"),
                   folder + QStringLiteral("/server.crt")});
    const int made = openssl.waitForFinished(-1) ? openssl.exitCode() : -1;
    if (made != 0)
        fail(QStringLiteral("openssl req: status %1").arg(made));
    // The server runs as postgres and takes a key that only it can read.
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("postgres"), folder});
    QFile::setPermissions(folder + QStringLiteral("/server.key"), QFileDevice::ReadOwner);
    QFile::setPermissions(g_folder, QFile::permissions(g_folder) | QFileDevice::ExeOther);
    for (const QString& setting :
         {QStringLiteral("ALTER SYSTEM SET ssl_cert_file = '%1/server.crt'").arg(folder),
          QStringLiteral("ALTER SYSTEM SET ssl_key_file = '%1/server.key'").arg(folder),
          QStringLiteral("ALTER SYSTEM SET ssl = on"), QStringLiteral("SELECT pg_reload_conf()")}) {
        db.query(setting);
    }
    // The reload reaches the server's processes a moment later; a wrong setting never turns it on, and
    // the test's time limit ends the wait.
    while (db.value(QStringLiteral("SHOW ssl")) != QStringLiteral("on")) {
        if (!db.error().isEmpty())
            fail(QStringLiteral("the server did not turn TLS on: %1").arg(db.error()));
        ::usleep(20000);
    }
    return folder + QStringLiteral("/server.crt");
}

void twoKiosks(Database& db, Rng& rng)
{
    const Place a = placeFor(QStringLiteral("kiosk-a"));
    const Place b = placeFor(QStringLiteral("kiosk-b"));
    Writer writerA(a.dataFile, rng());
    Writer writerB(b.dataFile, rng());
    writerA.appendBacklog(3000);
    writerB.appendBacklog(3000);
    Agent agentA;
    Agent agentB;
    agentA.start(a.dataFile, a.stateFile, db.kioskConninfo(), QStringLiteral("kiosk-a"), db.kioskEnvironment());
    agentB.start(b.dataFile, b.stateFile, db.kioskConninfo(), QStringLiteral("kiosk-b"), db.kioskEnvironment());
    writerA.start(2000);
    writerB.start(2000);
    agentA.waitFor([](const Agent::Line& l) { return l.sent > 3000; });
    agentB.waitFor([](const Agent::Line& l) { return l.sent > 3000; });
    writerA.stop();
    writerB.stop();
    agentA.waitUntilSent(completeLines(a.dataFile));
    agentB.waitUntilSent(completeLines(b.dataFile));
    agentA.stop();
    agentB.stop();
    verify(db, QStringLiteral("kiosk-a"), {a.dataFile},
           {QStringLiteral("two kiosks at once (a)"), 1, writerA.acknowledged(), 0, 0, 0, {}});
    verify(db, QStringLiteral("kiosk-b"), {b.dataFile},
           {QStringLiteral("two kiosks at once (b)"), 1, writerB.acknowledged(), 0, 0, 0, {}});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    int rounds = 200;
    quint64 seed = std::random_device()();
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool ok = true;
        if (arg == QStringLiteral("--seed") && i + 1 < argc)
            seed = QString::fromLocal8Bit(argv[++i]).toULongLong(&ok);
        else
            rounds = arg.toInt(&ok);
        if (!ok || rounds < 1) {
            std::fprintf(stderr, "usage: syncfault [kills] [--seed N]\n");
            return 2;
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("syncfault: seed %llu (run again with --seed %llu)\n", seed, seed);
    QTemporaryDir temporary;
    if (!temporary.isValid())
        fail(QStringLiteral("no temporary folder"));
    g_folder = temporary.path();
    Database db;
    if (!db.isReady())
        fail(db.error());
    Rng rng(seed);

    kills(db, rounds, rng);
    serverStopped(db, rng);
    hangingServer(db, rng);
    refusedThenMended(db, rng, QStringLiteral("password"), QStringLiteral("wrong password"), db.kioskConninfo(),
                      db.kioskEnvironment(QStringLiteral("not-the-password")), QStringLiteral("password"),
                      db.kioskConninfo());
    const QString certificate = certificateForAnotherHost(db);
    refusedThenMended(db, rng, QStringLiteral("certificate"), QStringLiteral("certificate for another host"),
                      db.kioskConninfo(QStringLiteral("sslmode=verify-full sslrootcert=") + certificate),
                      db.kioskEnvironment(), QStringLiteral("does not match host name"), db.kioskConninfo());
    twoKiosks(db, rng);

    std::printf("%-34s %7s %12s %9s %5s %10s  %s\n", "fault", "faults", "acknowledged", "in table", "lost",
                "duplicated", "");
    for (const Figures& f : g_figures)
        std::printf("%-34s %7d %12lld %9lld %5lld %10lld  %s\n", qUtf8Printable(f.fault), f.faults, f.acknowledged,
                    f.inTable, f.lost, f.duplicated, qUtf8Printable(f.note));
    temporary.setAutoRemove(true);
    return 0;
}
