// The sync's rules, and the engine against the real server pg_virtualenv started: the line-to-row
// rules, the TLS rule, the state and times files after a kill, what the kiosk role may do, one engine
// sending, stopping and starting again, and the evidence of consent going with the lines.
#include "Database.h"

#include "core/Consent.h"
#include "core/Export.h"
#include "core/Files.h"
#include "core/SignUpRecord.h"
#include "sync/Connection.h"
#include "sync/Engine.h"
#include "sync/Record.h"
#include "sync/StaffLine.h"
#include "sync/State.h"
#include "sync/Target.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString line(const QString& firstName, const QString& city = QStringLiteral("Toronto"))
{
    record::Entry e;
    e.firstName = firstName;
    e.lastName = QStringLiteral("O\"Neil, Jr.");
    e.email = QStringLiteral("a\\b{c}@example.org");
    e.city = city;
    e.country = QStringLiteral("CANADA");
    e.mySpaceUserName = QStringLiteral("NULL");
    return record::line(e);
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ownerOnly(const QString& path)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther | QFileDevice::ExeOwner;
    const QFileDevice::Permissions permissions = QFile::permissions(path);
    return (permissions & others) == 0 && permissions.testFlag(QFileDevice::ReadOwner);
}

bool append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

// add_signups of lines at the given offsets (a comma-separated list), each a bare sign-up; the kiosk is $1.
// One line goes to add_signup, as the engine sends it.
QByteArray addSignups(const QString& offsets, qsizetype lines)
{
    if (lines == 1)
        return QStringLiteral("SELECT quillmore.add_signup($1, 'f', %1, NULL, NULL%2, NULL, NULL, NULL, NULL)")
            .arg(offsets, QStringLiteral(", 'a'").repeated(14))
            .toUtf8();
    const QString nulls = QStringLiteral("NULL,").repeated(lines).chopped(1);
    const QString names = QStringLiteral("a,").repeated(lines).chopped(1);
    QString sql = QStringLiteral("SELECT quillmore.add_signups($1, 'f', '{%1}', '{%2}', '{%2}'").arg(offsets, nulls);
    for (int column = 0; column < 14; ++column)
        sql += QStringLiteral(", '{%1}'").arg(names);
    return (sql + QStringLiteral(", '{%1}', '{%1}', '{%1}', '{%1}')").arg(nulls)).toUtf8();
}

const QByteArray kNoticeBytes = "We keep your details to tell you about our shows.\n";
const QByteArray kNoticeSha256 = QCryptographicHash::hash(kNoticeBytes, QCryptographicHash::Sha256).toHex();

} // namespace

class TestSync final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_db.isReady(), qPrintable(m_db.error()));
        m_db.actAsKiosk();
    }

    // What goes to the table: the 14 values of a line as written, or nothing (the line goes as it is).
    void lineToRow_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("values"); // empty: set aside
        const QStringList ann = {
            "Ann", "O\"Neil, Jr.", "a\\b{c}@example.org", "", "Toronto", "", "CANADA", "", "", "", "NULL", "",
            "",    "html"};
        QTest::newRow("a sign-up") << line(QStringLiteral("Ann")).toUtf8() << ann;
        QTest::newRow("edited by hand") << QByteArray("Ann,Smith,ann@example.org") << QStringList();
        QTest::newRow("torn, ended by the next append: its open value closed")
            << (line(QStringLiteral("Ann")).toUtf8().left(30) + '"') << QStringList();
        QTest::newRow("13 columns") << line(QStringLiteral("Ann")).toUtf8().mid(6) << QStringList();
        QTest::newRow("not UTF-8") << line(QStringLiteral("Ann\xff")).toUtf8().replace("Ann", "\xff\xfe")
                                   << QStringList();
        QTest::newRow("a NUL") << line(QStringLiteral("Ann")).toUtf8().replace('A', '\0') << QStringList();
        QTest::newRow("a byte order mark before it") << ("\xEF\xBB\xBF" + line(QStringLiteral("Ann")).toUtf8()) << ann;
        QTest::newRow("a control character")
            << line(QStringLiteral("Ann")).toUtf8().replace('A', '\x01') << QStringList();
    }
    void lineToRow()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, values);
        const std::optional<dbsync::RecordValues> read = dbsync::recordValues(line);
        QStringList got;
        for (const QByteArray& value : read.value_or(dbsync::RecordValues()))
            got << QString::fromUtf8(value);
        QCOMPARE(read ? got : QStringList(), values);
    }

    // Personal data leaves this machine only over TLS that checks the server.
    void target_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("account");
        QTest::newRow("local socket") << "dbname=events user=kiosk" << true << "kiosk@localhost";
        QTest::newRow("localhost") << "postgresql://kiosk@localhost/events" << true << "kiosk@localhost";
        QTest::newRow("loopback v6") << "host=::1 user=kiosk" << true << "kiosk@::1";
        QTest::newRow("remote, default sslmode") << "postgresql://kiosk@db.example.org/events" << false << "";
        QTest::newRow("remote, require") << "host=10.0.0.5 user=kiosk sslmode=require" << false << "";
        QTest::newRow("remote, verify-ca") << "host=db.example.org user=kiosk sslmode=verify-ca" << false << "";
        QTest::newRow("remote, verify-full")
            << "postgresql://kiosk@db.example.org/events?sslmode=verify-full&sslrootcert=/etc/fleet-ca.crt" << true
            << "kiosk@db.example.org";
        QTest::newRow("a local name that reaches a remote address")
            << "host=localhost hostaddr=192.0.2.7 user=kiosk" << false << "";
        QTest::newRow("one remote host of two") << "host=localhost,db.example.org user=kiosk" << false << "";
        QTest::newRow("a password on the command line") << "host=localhost user=kiosk password=x" << false << "";
        QTest::newRow("not a connection string") << "host='db.example.org" << false << "";
        QTest::newRow("remote through the service file") << "service=fleet" << false << "";
        QTest::newRow("remote through the service file, verify-full")
            << "service=fleet sslmode=verify-full" << true << "kiosk@db.example.org";
    }
    void target()
    {
        QFETCH(QString, conninfo);
        QFETCH(bool, allowed);
        QFETCH(QString, account);
        QTemporaryDir dir;
        const QString services = dir.filePath(QStringLiteral("pg_service.conf"));
        QVERIFY(append(services, "[fleet]\nhost=db.example.org\nuser=kiosk\ndbname=events\n"));
        qputenv("PGSERVICEFILE", services.toUtf8());
        // pg_virtualenv's PGHOST stands for what a string leaves out; a kiosk's environment has none.
        const QByteArray host = qgetenv("PGHOST");
        qunsetenv("PGHOST");
        const dbsync::Target target = dbsync::checkTarget(conninfo);
        qputenv("PGHOST", host);
        qunsetenv("PGSERVICEFILE");
        QCOMPARE(target.error.isEmpty(), allowed);
        if (allowed)
            QCOMPARE(target.account, account);
    }

    // A state or times file cut at any byte (a kill in the middle of a write that is not atomic, or a
    // file system that lost its end) never reads as a smaller confirmation or a wrong time.
    void filesCutAnywhere()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.txt"));
        const dbsync::SyncState whole{QStringLiteral("kiosk@db"), QStringLiteral("1-2-abc"), 123456, 789, 2, 17, 99};
        QVERIFY(dbsync::writeState(state, whole).isEmpty());
        QCOMPARE(ownerOnly(state), true);
        QCOMPARE(dbsync::readState(state), whole);

        const QString times = dir.filePath(QStringLiteral("times.txt"));
        const QList<qint64> offsets{0, 183, 366, 549};
        dbsync::Times written;
        for (const qint64 offset : offsets)
            written.insert(offset, 1700000000 + offset);
        QVERIFY(dbsync::appendTimes(times, QStringLiteral("1-2-abc"), offsets.first(3), written).isEmpty());
        const QByteArray stateBytes = readBytes(state);
        const QByteArray timesBytes = readBytes(times);
        for (qsizetype cut = 0; cut < timesBytes.size(); ++cut) {
            QFile::remove(times);
            QVERIFY(append(times, timesBytes.left(cut)));
            const dbsync::Times read = dbsync::readTimes(times, QStringLiteral("1-2-abc"), 0);
            for (auto it = read.cbegin(); it != read.cend(); ++it)
                QCOMPARE(it.value(), 1700000000 + it.key());
            // A torn line ended by the next append is skipped, the one after it read.
            QVERIFY(dbsync::appendTimes(times, QStringLiteral("1-2-abc"), {549}, written).isEmpty());
            QCOMPARE(dbsync::readTimes(times, QStringLiteral("1-2-abc"), 0).value(549), 1700000549);
        }
        for (qsizetype cut = 0; cut < stateBytes.size(); ++cut) {
            QFile::remove(state);
            QVERIFY(append(state, stateBytes.left(cut)));
            const std::optional<dbsync::SyncState> read = dbsync::readState(state);
            QVERIFY2(!read || *read == whole, qPrintable(QString::number(cut)));
        }
    }

    // The kiosk role adds sign-ups and keeps its status row, and nothing else.
    void kioskRoleLimits_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("add") << "SELECT quillmore.add_signups('k', 'f', '{0}', '{NULL}', '{NULL}', "
                                "'{a}', '{b}', '{c}', '{d}', '{e}', '{f}', '{g}', '{h}', '{i}', '{j}', '{k}', "
                                "'{l}', '{m}', '{n}', '{NULL}', '{NULL}', '{CA}', '{+14165550123}')"
                             << true;
        QTest::newRow("add one") << "SELECT quillmore.add_signup('k', 'f', 1, NULL, NULL, 'a', 'b', 'c', 'd', 'e', "
                                    "'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', NULL, NULL, 'CA', '+14165550123')"
                                 << true;
        QTest::newRow("add a notice") << "SELECT quillmore.add_notices('{" + QString::fromLatin1(kNoticeSha256)
                + "}', '{" + QString::fromLatin1(kNoticeBytes.toHex())
                + "}')" << true;
        QTest::newRow("read notices") << "SELECT count(*) FROM quillmore.notice" << false;
        QTest::newRow("delete a notice") << "DELETE FROM quillmore.notice" << false;
        QTest::newRow("read the export") << "SELECT count(*) FROM quillmore.export" << false;
        QTest::newRow("status") << "SELECT quillmore.kiosk_status('k', '1.0', 1, 0, NULL)" << true;
        QTest::newRow("read") << "SELECT count(*) FROM quillmore.signup" << false;
        QTest::newRow("read status") << "SELECT * FROM quillmore.kiosk" << false;
        QTest::newRow("insert") << "INSERT INTO quillmore.signup (kiosk, data_file, line_offset) VALUES ('k','g',0)"
                                << false;
        QTest::newRow("change") << "UPDATE quillmore.signup SET email = 'x'" << false;
        QTest::newRow("delete") << "DELETE FROM quillmore.signup" << false;
        QTest::newRow("truncate") << "TRUNCATE quillmore.signup" << false;
        QTest::newRow("change a status row") << "UPDATE quillmore.kiosk SET waiting = 0" << false;
        QTest::newRow("make a table") << "CREATE TABLE quillmore.t (x int)" << false;
    }
    void kioskRoleLimits()
    {
        QFETCH(QString, statement);
        QFETCH(bool, allowed);
        m_db.query(QStringLiteral("BEGIN"));
        m_db.query(QStringLiteral("SET LOCAL ROLE kiosk"));
        m_db.query(statement);
        const QString error = m_db.error();
        m_db.query(QStringLiteral("ROLLBACK"));
        QVERIFY2(error.isEmpty() == allowed, qPrintable(error));
        if (!allowed)
            QVERIFY2(error.contains(QLatin1String("permission denied")), qPrintable(error));
    }

    // The server adds each line once whatever batches it is given: batches (their offsets) sent one after
    // another for one file, and how many lines each added.
    void eachLineOnceWhateverTheBatches_data()
    {
        QTest::addColumn<QList<QList<qint64>>>("batches");
        QTest::addColumn<QList<int>>("added");
        QTest::newRow("each past the last") << QList<QList<qint64>>{{0, 10}, {20}, {30, 40}} << QList<int>{2, 1, 2};
        QTest::newRow("sent again") << QList<QList<qint64>>{{0, 10}, {0, 10}} << QList<int>{2, 0};
        QTest::newRow("reaching back") << QList<QList<qint64>>{{0, 10}, {10, 20}} << QList<int>{2, 1};
        QTest::newRow("out of order") << QList<QList<qint64>>{{10}, {50, 10, 0}} << QList<int>{1, 2};
        QTest::newRow("one line sent again") << QList<QList<qint64>>{{20}, {20}} << QList<int>{1, 0};
        QTest::newRow("one line of a batch sent again") << QList<QList<qint64>>{{0, 10}, {10}} << QList<int>{2, 0};
    }
    void eachLineOnceWhateverTheBatches()
    {
        QFETCH(QList<QList<qint64>>, batches);
        QFETCH(QList<int>, added);
        const QString kiosk = QStringLiteral("batches ") + QLatin1String(QTest::currentDataTag());
        for (qsizetype i = 0; i < batches.size(); ++i) {
            QStringList offsets;
            for (const qint64 offset : batches[i])
                offsets << QString::number(offset);
            QCOMPARE(m_db.value(QString::fromUtf8(addSignups(offsets.join(u','), offsets.size())), {kiosk}),
                     QString::number(added[i]));
        }
        QSet<qint64> lines;
        for (const QList<qint64>& batch : batches)
            lines.unite(QSet<qint64>(batch.cbegin(), batch.cend()));
        QCOMPARE(
            m_db.value(QStringLiteral("SELECT count(DISTINCT line_offset) || '/' || count(*) FROM quillmore.signup "
                                      "WHERE kiosk = $1"),
                       {kiosk}),
            QStringLiteral("%1/%1").arg(lines.size()));
    }

    // A batch sent again while the first send is still in its transaction (a connection cut, the kiosk
    // already on a new one) waits for the first to end, then adds nothing, without an error.
    void aSecondSendWaitsForTheFirst()
    {
        using namespace std::chrono_literals;
        const QByteArray add = addSignups(QStringLiteral("0,10"), 2).replace("$1", "'second send'");
        dbsync::Connection first;
        dbsync::Connection second;
        QVERIFY(!first.open(m_db.kioskConninfo(), 10s));
        QVERIFY(!second.open(m_db.kioskConninfo(), 10s));
        QVERIFY(!first.exec("BEGIN", {}, 10s).failure);
        QCOMPARE(first.exec(add.constData(), {}, 10s).value, QByteArray("2"));
        dbsync::Connection::Answer again;
        std::thread retry([&] { again = second.exec(add.constData(), {}, 30s); });
        const auto joined = qScopeGuard([&] {
            first.close(); // a failed check leaves the first send's transaction open: ending it frees the second
            if (retry.joinable())
                retry.join();
        });
        QTRY_COMPARE_WITH_TIMEOUT(m_db.value(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted")),
                                  QStringLiteral("1"), 30000);
        QVERIFY(!first.exec("COMMIT", {}, 10s).failure);
        retry.join();
        QVERIFY2(!again.failure, qPrintable(again.failure ? again.failure->reason : QString()));
        QCOMPARE(again.value, QByteArray("0"));
        QCOMPARE(m_db.value(QStringLiteral("SELECT count(*) FROM quillmore.signup WHERE kiosk = 'second send'")),
                 QStringLiteral("2"));
    }

    // A statement is prepared once per connection; where a pooler in front of the server mixes up
    // connections' prepared statements (a name already taken, one gone), it goes whole instead.
    void preparedOrWhole_data()
    {
        QTest::addColumn<QByteArray>("meddling");
        QTest::newRow("as it should be") << QByteArray("SELECT 1");
        QTest::newRow("the next name taken") << QByteArray("PREPARE quillmore_2 AS SELECT 1");
        QTest::newRow("all of them gone") << QByteArray("DEALLOCATE ALL");
    }
    void preparedOrWhole()
    {
        QFETCH(QByteArray, meddling);
        using namespace std::chrono_literals;
        dbsync::Connection connection;
        QVERIFY(!connection.open(m_db.kioskConninfo(), 10s));
        const char* const add = "SELECT $1::int + 1";
        const char* const other = "SELECT $1::text || '!'";
        QCOMPARE(connection.exec(add, {QByteArray("41")}, 10s).value, QByteArray("42"));
        const dbsync::Connection::Answer meddled = connection.exec(meddling.constData(), {}, 10s);
        QVERIFY2(!meddled.failure, qPrintable(meddled.failure ? meddled.failure->reason : QString()));
        for (int i = 0; i < 2; ++i) {
            // First sent ahead and its answer taken as it comes in, as a sign-up's batch goes; where the
            // pooler lost the statement, nothing ran and it goes again whole.
            std::optional<dbsync::Connection::Answer> sum;
            if (i == 0) {
                QCOMPARE(connection.send(add, {QByteArray("1")}), dbsync::Connection::Sent::Whole);
                QTRY_VERIFY(sum || (sum = connection.answer()));
                if (connection.lostPrepared(*sum))
                    sum.reset();
            }
            if (!sum)
                sum = connection.exec(add, {QByteArray("1")}, 10s);
            QVERIFY2(!sum->failure, qPrintable(sum->failure ? sum->failure->reason : QString()));
            QCOMPARE(sum->value, QByteArray("2"));
            const dbsync::Connection::Answer text = connection.exec(other, {QByteArray("hi")}, 10s);
            QVERIFY2(!text.failure, qPrintable(text.failure ? text.failure->reason : QString()));
            QCOMPARE(text.value, QByteArray("hi!"));
        }
    }

    // While the engine runs, the state reaches the disk a second at most after each confirmation, not
    // only as the engine ends: here batches confirmed in quick succession, with no new line between.
    void stateFollowsABacklog()
    {
        QTemporaryDir dir;
        const dbsync::Settings settings = settingsIn(dir, QStringLiteral("backlog"));
        QByteArray lines;
        for (int i = 0; i < 120; ++i)
            lines += line(QStringLiteral("Fan%1").arg(i)).toUtf8() + '\n';
        QVERIFY(append(settings.dataFile, lines));
        const dbsync::Target target = dbsync::checkTarget(settings.conninfo);
        dbsync::Engine engine(settings, target.host, target.account);
        engine.start();
        QTRY_COMPARE_WITH_TIMEOUT(engine.status().sent, 120, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(dbsync::readState(settings.stateFile).value_or(dbsync::SyncState{}).confirmedLines,
                                  120, 30000);
    }

    // A server that accepts and never answers holds the batch for the whole timeout; the staff line's
    // count of lines still follows each sign-up.
    void countsWhileTheServerHangs()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const auto closed = qScopeGuard([&] { ::close(listener); });
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(listener, 4) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0);
        QTemporaryDir dir;
        dbsync::Settings settings = settingsIn(dir, QStringLiteral("hanging"));
        settings.conninfo = QStringLiteral("host=127.0.0.1 port=%1 dbname=x user=kiosk").arg(ntohs(address.sin_port));
        settings.timeout = std::chrono::minutes(2);
        QVERIFY(append(settings.dataFile, {}));
        dbsync::Engine engine(settings, QStringLiteral("127.0.0.1"), QStringLiteral("kiosk@127.0.0.1"));
        engine.start();
        const auto connected = [&] {
            pollfd pending{listener, POLLIN, 0};
            return ::poll(&pending, 1, 0) == 1;
        };
        QTRY_VERIFY(connected()); // the engine's first look goes out with the status row, and waits
        for (int lines = 1; lines <= 2; ++lines) {
            QVERIFY(append(settings.dataFile, line(QStringLiteral("Fan%1").arg(lines)).toUtf8() + '\n'));
            QTRY_COMPARE(engine.status().lines, lines);
        }
        QCOMPARE(engine.status().sent, 0);
    }

    // Sends what waits (without a time: written before sync watched), then new lines with their time;
    // started again, it sends nothing twice.
    void sendsEachLineOnceAcrossRestarts()
    {
        QTemporaryDir dir;
        dbsync::Settings settings = settingsIn(dir, QStringLiteral("restarts"));
        const dbsync::Target target = dbsync::checkTarget(settings.conninfo);
        QVERIFY(append(settings.dataFile,
                       (line(QStringLiteral("Ann")) + u'\n' + line(QStringLiteral("Bob")) + u'\n'
                        + QStringLiteral("edited by hand\n") + line(QStringLiteral("Torn")))
                           .toUtf8()
                           .chopped(20)));
        const auto count = [&](const QString& where) {
            return m_db
                .value(QStringLiteral("SELECT count(*) FROM quillmore.signup WHERE kiosk = 'restarts' AND ") + where)
                .toInt();
        };

        auto engine = std::make_unique<dbsync::Engine>(settings, target.host, target.account);
        engine->start();
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, 3, 30000);
        QCOMPARE(count(QStringLiteral("signed_up_at IS NULL")), 3);
        QCOMPARE(count(QStringLiteral("unparsed IS NOT NULL")), 1);
        QCOMPARE(engine->status().asideLines, 1);
        QCOMPARE(engine->status().lastAsideLine, 3);

        // The next sign-up ends the torn line (which goes as it is) and has its time.
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(platform::appendLineDurably(settings.dataFile, line(QStringLiteral("Cy"))).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, 5, 30000);
        const qint64 after = QDateTime::currentSecsSinceEpoch();
        const qint64 at =
            m_db.value(QStringLiteral("SELECT extract(epoch FROM signed_up_at)::bigint FROM quillmore.signup "
                                      "WHERE kiosk = 'restarts' AND first_name = 'Cy'"))
                .toLongLong();
        QVERIFY(at >= before && at <= after);
        QCOMPARE(engine->status().asideLines, 2);
        QCOMPARE(m_db.arrivedLines(QStringLiteral("restarts")).at(4), line(QStringLiteral("Cy")).toUtf8());
        engine.reset();
        // The state is written at most once a second, and once more as the engine ends.
        QCOMPARE(dbsync::readState(settings.stateFile).value_or(dbsync::SyncState{}).confirmedLines, 5);

        // Whatever the state says, a second send adds nothing: here, the state is lost altogether.
        QVERIFY(QFile::remove(settings.stateFile));
        engine = std::make_unique<dbsync::Engine>(settings, target.host, target.account);
        engine->start();
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, 5, 30000);
        QCOMPARE(count(QStringLiteral("true")), 5);
        QCOMPARE(ownerOnly(settings.stateFile), true);
        QCOMPARE(m_db.value(QStringLiteral("SELECT local_count || ' ' || waiting FROM quillmore.kiosk "
                                           "WHERE kiosk = 'restarts'")),
                 QStringLiteral("5 0"));

        // A line seen while the server cannot be reached keeps its time through a kill: the times file
        // has it once the engine counts the line, though it is written after the batch goes out.
        engine.reset();
        dbsync::Settings away = settings;
        away.conninfo = QStringLiteral("host=127.0.0.1 port=1 dbname=events user=kiosk");
        engine = std::make_unique<dbsync::Engine>(away, target.host, target.account);
        engine->start();
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().state, dbsync::Status::State::Waiting, 30000);
        const qint64 seen = QDateTime::currentSecsSinceEpoch();
        QVERIFY(platform::appendLineDurably(settings.dataFile, line(QStringLiteral("Dee"))).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().lines, 6, 30000);
        const qint64 counted = QDateTime::currentSecsSinceEpoch();
        engine.reset();
        engine = std::make_unique<dbsync::Engine>(settings, target.host, target.account);
        engine->start();
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, 6, 30000);
        const qint64 deeAt =
            m_db.value(QStringLiteral("SELECT extract(epoch FROM signed_up_at)::bigint FROM quillmore.signup "
                                      "WHERE kiosk = 'restarts' AND first_name = 'Dee'"))
                .toLongLong();
        QVERIFY(deeAt >= seen && deeAt <= counted);
    }

    // A server that goes silent in the middle of a sign-up's batch (its backend stopped): the engine gives
    // up on the answer at its deadline, and once the server is back the line is in the table once,
    // though the stopped backend commits it too when it goes on.
    void anAnswerThatNeverComes()
    {
        QTemporaryDir dir;
        dbsync::Settings settings = settingsIn(dir, QStringLiteral("silent"));
        settings.timeout = std::chrono::milliseconds(1000);
        settings.firstRetry = std::chrono::milliseconds(50);
        settings.lastRetry = std::chrono::milliseconds(200);
        const dbsync::Target target = dbsync::checkTarget(settings.conninfo);
        dbsync::Engine engine(settings, target.host, target.account);
        engine.start();
        QVERIFY(platform::appendLineDurably(settings.dataFile, line(QStringLiteral("Ann"))).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(engine.status().sent, 1, 30000);
        // This engine's: the newest of the kiosk's connections (an earlier test's may still be ending).
        const qint64 backend = m_db.value(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE application_name = "
                                                         "'quillmore' AND usename = 'kiosk' ORDER BY backend_start "
                                                         "DESC LIMIT 1"))
                                   .toLongLong();
        QVERIFY(backend > 0 && ::kill(pid_t(backend), SIGSTOP) == 0);
        const auto goesOn = qScopeGuard([&] { ::kill(pid_t(backend), SIGCONT); });
        QVERIFY(platform::appendLineDurably(settings.dataFile, line(QStringLiteral("Bob"))).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(engine.status().reason, QStringLiteral("no answer within 1 s"), 30000);
        QCOMPARE(engine.status().sent, 1);
        ::kill(pid_t(backend), SIGCONT);
        QTRY_COMPARE_WITH_TIMEOUT(engine.status().sent, 2, 30000);
        QCOMPARE(m_db.arrivedLines(QStringLiteral("silent")),
                 QList<QByteArray>({line(QStringLiteral("Ann")).toUtf8(), line(QStringLiteral("Bob")).toUtf8()}));
    }

    // The first sign-up of a file begun while the engine runs (the next event's) has its time, whether the
    // engine's first look at the file comes before the line or after it; the lines of a file moved into
    // place from before do not.
    void timesOfAFileBegunMeanwhile_data()
    {
        QTest::addColumn<bool>("begun");
        QTest::newRow("begun by a sign-up") << true;
        QTest::newRow("moved into place") << false;
    }
    void timesOfAFileBegunMeanwhile()
    {
        QFETCH(bool, begun);
        const QString kiosk = begun ? QStringLiteral("begun") : QStringLiteral("moved-in");
        QTemporaryDir dir;
        const dbsync::Settings settings = settingsIn(dir, kiosk);
        const QString earlier = dir.filePath(QStringLiteral("earlier.csv"));
        QVERIFY(platform::appendLineDurably(earlier, line(QStringLiteral("Ann"))).isEmpty());
        const dbsync::Target target = dbsync::checkTarget(settings.conninfo);
        dbsync::Engine engine(settings, target.host, target.account);
        engine.start();
        QTRY_COMPARE_WITH_TIMEOUT(engine.status().state, dbsync::Status::State::Sent, 30000);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        if (begun)
            QVERIFY(platform::appendLineDurably(settings.dataFile, line(QStringLiteral("Ann"))).isEmpty());
        else
            QVERIFY(QFile::rename(earlier, settings.dataFile));
        QTRY_COMPARE_WITH_TIMEOUT(engine.status().sent, 1, 30000);
        const qint64 after = QDateTime::currentSecsSinceEpoch();
        const QString at = m_db.value(
            QStringLiteral("SELECT extract(epoch FROM signed_up_at)::bigint FROM quillmore.signup WHERE kiosk = $1"),
            {kiosk});
        if (begun)
            QVERIFY2(at.toLongLong() >= before && at.toLongLong() <= after, qPrintable(at));
        else
            QVERIFY2(at.isNull(), qPrintable(at));
    }

    // A database made with an earlier version of the SQL file has add_signups alone, or add_signup without
    // its grant: a sign-up goes to add_signups.
    void sendsToADatabaseOfAnEarlierFile_data()
    {
        const QString signature = QStringLiteral("quillmore.add_signup(text, text, bigint, bigint%1)")
                                      .arg(QStringLiteral(", text").repeated(19));
        QTest::addColumn<QString>("away");
        QTest::addColumn<QString>("back");
        QTest::newRow("no add_signup") << QStringLiteral("ALTER FUNCTION %1 RENAME TO add_signup_away").arg(signature)
                                       << QStringLiteral("ALTER FUNCTION quillmore.add_signup_away%1 RENAME TO "
                                                         "add_signup")
                                              .arg(signature.mid(signature.indexOf(u'(')));
        QTest::newRow("add_signup without its grant")
            << QStringLiteral("REVOKE EXECUTE ON FUNCTION %1 FROM quillmore_kiosk").arg(signature)
            << QStringLiteral("GRANT EXECUTE ON FUNCTION %1 TO quillmore_kiosk").arg(signature);
    }
    void sendsToADatabaseOfAnEarlierFile()
    {
        QFETCH(QString, away);
        QFETCH(QString, back);
        const QString kiosk = QStringLiteral("earlier file ") + QLatin1String(QTest::currentDataTag());
        QVERIFY(m_db.query(away).isEmpty());
        QCOMPARE(m_db.error(), QString());
        const auto restored = qScopeGuard([&] { m_db.query(back); });
        QTemporaryDir dir;
        const dbsync::Settings settings = settingsIn(dir, kiosk);
        const dbsync::Target target = dbsync::checkTarget(settings.conninfo);
        dbsync::Engine engine(settings, target.host, target.account);
        engine.start();
        for (int lines = 1; lines <= 2; ++lines) {
            QVERIFY(platform::appendLineDurably(settings.dataFile, line(QStringLiteral("Fan%1").arg(lines))).isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(engine.status().sent, lines, 30000);
        }
        QCOMPARE(m_db.arrivedLines(kiosk),
                 QList<QByteArray>({line(QStringLiteral("Fan1")).toUtf8(), line(QStringLiteral("Fan2")).toUtf8()}));
    }

    // The server out of reach for two events: the file of the first is being sent (held beside the state)
    // when the second is moved away in its turn, and the second must not be passed over for the third.
    void keepsEveryFileMovedAwayMeanwhile_data()
    {
        QTest::addColumn<bool>("restarted");
        QTest::newRow("the kiosk stopped and started again") << true;
        QTest::newRow("the kiosk running throughout") << false;
    }
    void keepsEveryFileMovedAwayMeanwhile()
    {
        QFETCH(bool, restarted);
        const QString kiosk = restarted ? QStringLiteral("events") : QStringLiteral("events-running");
        QTemporaryDir dir;
        dbsync::Settings settings = settingsIn(dir, kiosk);
        if (restarted)
            settings.conninfo = QStringLiteral("host=127.0.0.1 port=1 dbname=events user=kiosk");
        settings.firstRetry = std::chrono::milliseconds(50);
        settings.lastRetry = std::chrono::milliseconds(500);
        if (!restarted)
            QCOMPARE(m_db.stopServer(), QString());
        // Up again for the tests after this one, whatever happens in it.
        auto serverBack = qScopeGuard([&] {
            if (!restarted)
                m_db.startServer();
        });
        const dbsync::Target target = dbsync::checkTarget(m_db.kioskConninfo());
        auto engine = std::make_unique<dbsync::Engine>(settings, target.host, target.account);
        engine->start();
        QList<QByteArray> expected;
        const auto event = [&](const QString& name, int lines) {
            for (int i = 0; i < lines; ++i) {
                const QString signUp = line(QStringLiteral("%1 %2").arg(name).arg(i));
                QVERIFY(platform::appendLineDurably(settings.dataFile, signUp).isEmpty());
                expected << signUp.toUtf8();
            }
        };
        event(QStringLiteral("First"), 3);
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().lines, 3, 30000);
        QVERIFY(QFile::rename(settings.dataFile, settings.dataFile + QStringLiteral(".1")));
        event(QStringLiteral("Second"), 2);
        // It is noticed while the first is still waiting...
        const QString waiting = dir.filePath(QStringLiteral("quillmore-sync-waiting-1.csv"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(waiting), 30000);
        // ... and the time of a sign-up in it noted as it comes, though it is not the file being sent.
        const QByteArray late = " " + QByteArray::number(QFileInfo(settings.dataFile).size()) + " ";
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        event(QStringLiteral("Second, later"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(dbsync::timesFileOf(settings.stateFile)).contains(late), 30000);
        const qint64 after = QDateTime::currentSecsSinceEpoch();
        QVERIFY(QFile::rename(settings.dataFile, settings.dataFile + QStringLiteral(".2")));
        // ... and the engine stopped before it knows of the third, or the server back meanwhile.
        if (restarted)
            engine.reset();
        event(QStringLiteral("Third"), 1);
        std::sort(expected.begin(), expected.end());
        if (restarted) {
            settings.conninfo = m_db.kioskConninfo();
            engine = std::make_unique<dbsync::Engine>(settings, target.host, target.account);
            engine->start();
        } else {
            serverBack.dismiss();
            QCOMPARE(m_db.startServer(), QString());
        }
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().lines, 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, 1, 30000);
        QList<QByteArray> arrived = m_db.arrivedLines(kiosk);
        std::sort(arrived.begin(), arrived.end());
        QCOMPARE(arrived, expected);
        QVERIFY(!QFileInfo::exists(waiting));
        const auto timeOf = [&](const QString& name) {
            return m_db
                .value(QStringLiteral("SELECT coalesce(extract(epoch FROM signed_up_at)::bigint, 0) FROM "
                                      "quillmore.signup WHERE kiosk = $1 AND first_name = $2"),
                       {kiosk, name})
                .toLongLong();
        };
        const qint64 lateAt = timeOf(QStringLiteral("Second, later 0"));
        QVERIFY2(lateAt >= before && lateAt <= after, qPrintable(QString::number(lateAt)));
        if (restarted)
            QCOMPARE(timeOf(QStringLiteral("Third 0")), 0); // written with no engine running
    }

    // Each line goes with its evidence, and with the export's own country code and number: the view
    // gives what quillmore --export gives, the same header over the same rows. The notice text goes
    // once; a line without evidence, or whose evidence is another line's (a kill between the two
    // appends), goes with none.
    void sendsEvidence_data()
    {
        QTest::addColumn<bool>("oneAtATime");
        QTest::newRow("a backlog, in one batch") << false;
        QTest::newRow("each line as it is made") << true;
    }
    void sendsEvidence()
    {
        QFETCH(bool, oneAtATime);
        const QString kiosk = oneAtATime ? QStringLiteral("evidence, one at a time") : QStringLiteral("evidence");
        QTemporaryDir dir;
        const dbsync::Settings settings = settingsIn(dir, kiosk);
        const dbsync::Target target = dbsync::checkTarget(settings.conninfo);
        std::optional<dbsync::Engine> engine;
        int made = 0;
        // Each line waits for the one before to be in: it goes alone, as a sign-up does.
        const auto sent = [&] {
            ++made;
            if (oneAtATime)
                QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, made, 30000);
        };
        if (oneAtATime) {
            engine.emplace(settings, target.host, target.account);
            engine->start();
        }
        const consent::Notice notice = *consent::noticeFromBytes(kNoticeBytes).notice;
        QCOMPARE(notice.sha256, kNoticeSha256);
        const QDateTime at = QDateTime(QDate(2026, 12, 9), QTime(3, 19, 7), Qt::UTC);
        // First names of this row's own: the view has no kiosk to pick its rows by.
        const QString of = oneAtATime ? QStringLiteral(" 2") : QString();
        record::Entry eve;
        eve.firstName = QStringLiteral("Eve") + of;
        eve.country = QStringLiteral("CANADA");
        eve.cell = QStringLiteral("416 555 0123");
        record::Entry flo = eve, gus = eve, hal = eve;
        flo.firstName = QStringLiteral("Flo") + of;
        gus.firstName = QStringLiteral("Gus") + of;
        hal.firstName = QStringLiteral("Hal") + of;
        // Cell numbers each way to E.164 or not: digits alone, a quote (typed into a file by hand), a
        // country with no code.
        flo.cell = QStringLiteral("4165550124");
        gus.cell = QStringLiteral("416\"555");
        hal.country = QStringLiteral("YUGOSLAVIA");
        hal.cell = QStringLiteral("0112345678");
        QCOMPARE(consent::appendSignUp(settings.dataFile, record::line(eve), &notice, at), QString());
        sent();
        QCOMPARE(consent::appendSignUp(settings.dataFile, record::line(flo), nullptr, at), QString());
        sent();
        const qint64 gusAt = QFileInfo(settings.dataFile).size();
        QVERIFY(append(consent::evidenceFilePath(settings.dataFile),
                       consent::evidenceLine(gusAt, at, notice.sha256, consent::lineDigest("another line")) + '\n'));
        QCOMPARE(consent::appendSignUp(settings.dataFile, record::line(gus), nullptr, at), QString());
        sent();
        QCOMPARE(consent::appendSignUp(settings.dataFile, record::line(hal), &notice, at.addSecs(1)), QString());
        sent();
        if (!oneAtATime) {
            engine.emplace(settings, target.host, target.account);
            engine->start();
        }
        QTRY_COMPARE_WITH_TIMEOUT(engine->status().sent, 4, 30000);
        const QList<QByteArray> lines = readBytes(settings.dataFile).chopped(1).split('\n');
        QCOMPARE(m_db.arrivedLines(kiosk), lines);

        const QList<QStringList> header = m_db.query(QStringLiteral(
            "SELECT attname FROM pg_attribute WHERE attrelid = 'quillmore.export'::regclass AND attnum > 0 "
            "ORDER BY attnum"));
        QStringList names;
        for (const QStringList& name : header)
            names << name.at(0);
        QCOMPARE(names, exporting::columnNames());

        QString error;
        const consent::EvidenceByOffset evidence = *consent::readEvidence(settings.dataFile, &error);
        const QList<QStringList> rows = m_db.query(
            QStringLiteral("SELECT e.* FROM quillmore.export e JOIN quillmore.signup s ON e.\"First Name\" = "
                           "s.first_name WHERE s.kiosk = $1 ORDER BY s.line_offset"),
            {kiosk});
        QCOMPARE(rows.size(), lines.size());
        qint64 offset = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(rows[i],
                     exporting::row(*record::parse(QString::fromUtf8(lines[i])),
                                    consent::evidenceFor(evidence, offset, lines[i])));
            offset += lines[i].size() + 1;
        }
        // And as files: \copy of the view writes what the export writes, but for its line ends.
        const QString exported = dir.filePath(QStringLiteral("export.csv"));
        QCOMPARE(exporting::exportSignUps({settings.dataFile, exported, false}, stderr), 0);
        QCOMPARE(m_db.copyOut(QStringLiteral("SELECT e.* FROM quillmore.export e JOIN quillmore.signup s ON "
                                             "e.\"First Name\" = s.first_name WHERE s.kiosk = '%1' ORDER BY "
                                             "s.line_offset")
                                  .arg(kiosk),
                              QStringLiteral("FORMAT csv, HEADER")),
                 readBytes(exported).replace("\r\n", "\n"));
        QCOMPARE(rows[0].at(7), QStringLiteral("+14165550123"));
        QCOMPARE(rows[0].at(13), QStringLiteral("2026-12-09T03:19:07Z"));
        QCOMPARE(rows[1].at(13), QString());
        QCOMPARE(rows[2].at(14), QString());
        QCOMPARE(rows[3].at(14), QString::fromLatin1(notice.sha256));
        QCOMPARE(m_db.value(QStringLiteral("SELECT count(*) || ' ' || encode(body, 'hex') FROM quillmore.notice "
                                           "WHERE sha256 = $1 GROUP BY body"),
                            {QString::fromLatin1(notice.sha256)}),
                 QStringLiteral("1 ") + QString::fromLatin1(kNoticeBytes.toHex()));
    }

    void staffLine_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("aside");
        QTest::addColumn<qint64>("waiting");
        QTest::addColumn<QString>("text");
        QTest::newRow("sent") << int(dbsync::Status::State::Sent) << "" << qint64(0) << qint64(4)
                              << "1,230 sent to db.example.org, 4 waiting";
        QTest::newRow("waiting") << int(dbsync::Status::State::Waiting) << "no answer within 10 s" << qint64(0)
                                 << qint64(4)
                                 << "4 waiting: cannot reach db.example.org since 14:02 (no answer within 10 s)";
        QTest::newRow("nothing waiting, server gone")
            << int(dbsync::Status::State::Waiting) << "no answer within 10 s" << qint64(0) << qint64(0)
            << "1,234 sent: cannot reach db.example.org since 14:02 (no answer within 10 s)";
        QTest::newRow("wrong password") << int(dbsync::Status::State::Refused)
                                        << "password authentication failed for user \"kiosk\"" << qint64(0) << qint64(4)
                                        << "sync refused: wrong password for kiosk@db.example.org";
        QTest::newRow("no authority's certificate here")
            << int(dbsync::Status::State::Refused)
            << "root certificate file \"/etc/quillmore/fleet-ca.crt\" does not exist" << qint64(0) << qint64(4)
            << "sync refused: cannot read the sslrootcert file /etc/quillmore/fleet-ca.crt for kiosk@db.example.org";
        QTest::newRow("a line set aside") << int(dbsync::Status::State::Sent) << "" << qint64(1) << qint64(4)
                                          << "1,230 sent to db.example.org, 4 waiting; 1 line not a sign-up, "
                                             "sent as written (line 57)";
    }
    void staffLine()
    {
        QFETCH(int, state);
        QFETCH(QString, reason);
        QFETCH(qint64, aside);
        QFETCH(qint64, waiting);
        QFETCH(QString, text);
        dbsync::Status status;
        status.state = dbsync::Status::State(state);
        status.host = QStringLiteral("db.example.org");
        status.account = QStringLiteral("kiosk@db.example.org");
        status.lines = 1234;
        status.sent = status.lines - waiting;
        status.reason = reason;
        status.failingSince = QDateTime(QDate(2026, 5, 1), QTime(14, 2));
        status.asideLines = aside;
        status.lastAsideLine = 57;
        QCOMPARE(dbsync::staffLine(status), text);
    }

private:
    // An engine's settings for a kiosk whose files are in the folder, sending to the test's server.
    dbsync::Settings settingsIn(const QTemporaryDir& dir, const QString& kiosk)
    {
        dbsync::Settings settings;
        settings.dataFile = dir.filePath(QStringLiteral("quillmore.csv"));
        settings.stateFile = dir.filePath(QStringLiteral("quillmore-sync.txt"));
        settings.conninfo = m_db.kioskConninfo();
        settings.kioskName = kiosk;
        settings.version = QStringLiteral("1.0");
        return settings;
    }

    Database m_db;
};

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"
