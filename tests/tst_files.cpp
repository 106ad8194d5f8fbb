#include "core/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestFiles.h"

namespace {

mode_t modeOf(const QString& path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Takes at most m_chunk bytes per call and refuses everything beyond m_capacity.
class LimitedDevice final : public QIODevice
{
public:
    LimitedDevice(qint64 capacity, qint64 chunk)
        : m_capacity(capacity)
        , m_chunk(chunk)
    {
    }
    QByteArray m_data;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override
    {
        const qint64 count = std::min({length, m_capacity - m_data.size(), m_chunk});
        if (count <= 0) {
            setErrorString(QStringLiteral("device full"));
            return -1;
        }
        m_data.append(data, count);
        return count;
    }

private:
    qint64 m_capacity;
    qint64 m_chunk;
};

} // namespace

Q_DECLARE_METATYPE(platform::LineCount::Outcome)

class TestFiles final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void readLines_data();
    void readLines();
    void readLinesStopsAtByteLimit_data();
    void readLinesStopsAtByteLimit();
    void readLinesUnreadable_data();
    void readLinesUnreadable();

    void replaceRoundTripAndReplace();
    void replaceSetsExactPermissions_data();
    void replaceSetsExactPermissions();
    void replaceFailureKeepsOldState_data();
    void replaceFailureKeepsOldState();
    void writeLinesToDevice_data();
    void writeLinesToDevice();

    void appendLines_data();
    void appendLines();
    void appendFailureKeepsOldState_data();
    void appendFailureKeepsOldState();
    void appendCutShortIsRolledBack_data();
    void appendCutShortIsRolledBack();
    void appendAfterTornRecord_data();
    void appendAfterTornRecord();
    void twoWritersAtOnce();

    void countCompleteLines_data();
    void countCompleteLines();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString makeObstacle(const QString& kind);

    std::unique_ptr<QTemporaryDir> m_dir;
};

// Returns a target path that cannot be written for the given reason (permission bits do not
// help: the tests run as root), or an empty string when the setup itself failed.
QString TestFiles::makeObstacle(const QString& kind)
{
    const QString target = path(QStringLiteral("quillmore.csv"));
    bool ok = true;
    if (kind == u"missing folder")
        return path(QStringLiteral("nowhere/quillmore.csv"));
    if (kind == u"folder is a file") {
        ok = writeBytes(path(QStringLiteral("plain")), "keep\n");
        return ok ? path(QStringLiteral("plain/quillmore.csv")) : QString();
    }
    if (kind == u"folder at path")
        ok = QDir(m_dir->path()).mkdir(QStringLiteral("quillmore.csv")) && writeBytes(target + "/inner", "x");
    else if (kind == u"full disk")
        ok = QFile::link(QStringLiteral("/dev/full"), target);
    else
        ok = writeBytes(target, "old,line\nlast");
    return ok ? target : QString();
}

void TestFiles::readLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("expected");

    const QString junk = QString(QChar(0xFFFD)) + QChar(0xFFFD) + QChar(0) + u'A';
    QTest::newRow("LF") << QByteArray("a\nb\nc\n") << 3 << QStringList{"a", "b", "c"};
    QTest::newRow("CRLF") << QByteArray("a\r\nb\r\n") << 3 << QStringList{"a", "b"};
    QTest::newRow("CR") << QByteArray("a\rb\r") << 3 << QStringList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd") << 5 << QStringList{"a", "b", "c", "d"};
    QTest::newRow("no trailing newline") << QByteArray("pw\nTrue\n2.5") << 3 << QStringList{"pw", "True", "2.5"};
    QTest::newRow("blank lines kept") << QByteArray("\n\r\n\rx") << 4 << QStringList{"", "", "", "x"};
    QTest::newRow("fewer lines asked") << QByteArray("1\n2\n3\n") << 2 << QStringList{"1", "2"};
    QTest::newRow("no lines asked") << QByteArray("1\n") << 0 << QStringList{};
    QTest::newRow("empty file") << QByteArray() << 3 << QStringList{};
    QTest::newRow("UTF-8") << QByteArray("Zo\xc3\xab\n\xe6\x9d\xb1\xe4\xba\xac\n") << 2
                           << QStringList{QString::fromUtf8("Zoë"), QString::fromUtf8("東京")};
    QTest::newRow("BOM dropped") << QByteArray("\xef\xbb\xbfpw\n") << 1 << QStringList{"pw"};
    QTest::newRow("binary junk") << QByteArray("\xff\xfe\0A\nB\x80", 7) << 3
                                 << QStringList{junk, QStringLiteral("B") + QChar(0xFFFD)};
}

void TestFiles::readLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxLines);
    QFETCH(QStringList, expected);
    QVERIFY(writeBytes(path("in.txt"), bytes));
    const auto lines = platform::readTextLines(path("in.txt"), maxLines);
    QVERIFY(lines.has_value());
    QCOMPARE(*lines, expected);
}

void TestFiles::readLinesStopsAtByteLimit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("10 MB without a line break")
        << QByteArray(10 * 1024 * 1024, 'x') << qint64(64 * 1024) << QStringList{QString(64 * 1024, u'x')};
    QTest::newRow("lines past the limit unread")
        << QByteArray("aaaa\nbbbb\ncccc\n") << qint64(7) << QStringList{"aaaa", "bb"};
    // Five bytes end inside the third two-byte character, which must not become U+FFFD.
    QTest::newRow("character cut by the limit")
        << QByteArray("\xc3\xa9\xc3\xa9\xc3\xa9") << qint64(5) << QStringList{QString::fromUtf8("éé")};
}

void TestFiles::readLinesStopsAtByteLimit()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, maxBytes);
    QFETCH(QStringList, expected);
    QVERIFY(writeBytes(path("big.txt"), bytes));
    const auto lines = platform::readTextLines(path("big.txt"), 10, maxBytes);
    QVERIFY(lines.has_value());
    QCOMPARE(*lines, expected);
}

void TestFiles::readLinesUnreadable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing folder";
    QTest::newRow("folder") << "folder at path";
    QTest::newRow("under a file") << "folder is a file";
}

void TestFiles::readLinesUnreadable()
{
    QFETCH(QString, kind);
    const QString target = makeObstacle(kind);
    QVERIFY(!target.isEmpty());
    QVERIFY(!platform::readTextLines(target, 3).has_value());
}

void TestFiles::replaceRoundTripAndReplace()
{
    const QString target = path("quillmore.txt");
    const QStringList first{QString::fromUtf8("pass wörd"), "True", "12.5", ""};
    QCOMPARE(platform::replaceTextFile(target, first, QFile::ReadOwner | QFile::WriteOwner), QString());
    QCOMPARE(readBytes(target), QByteArray("pass w\xc3\xb6rd\nTrue\n12.5\n\n"));
    QCOMPARE(platform::readTextLines(target, 4).value_or(QStringList{"<unreadable>"}), first);

    // What a save killed just before its rename leaves behind is cleared by the next save.
    QVERIFY(writeBytes(target + ".saving", "half\n"));
    QCOMPARE(platform::replaceTextFile(target, {"x"}, QFile::ReadOwner | QFile::WriteOwner), QString());
    QCOMPARE(readBytes(target), QByteArray("x\n"));
    // No temporary file may be left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quillmore.txt"});
}

void TestFiles::replaceSetsExactPermissions_data()
{
    QTest::addColumn<int>("oldMode"); // -1: no old file
    QTest::addColumn<int>("newMode");
    QTest::newRow("new file 0600") << -1 << 0600;
    QTest::newRow("0644 becomes 0600") << 0644 << 0600;
    QTest::newRow("0600 becomes 0644") << 0600 << 0644;
}

void TestFiles::replaceSetsExactPermissions()
{
    QFETCH(int, oldMode);
    QFETCH(int, newMode);
    const QString target = path("quillmore.txt");
    if (oldMode >= 0) {
        QVERIFY(writeBytes(target, "old\n"));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode_t(oldMode)), 0);
    }
    QFileDevice::Permissions wanted = QFile::ReadOwner | QFile::WriteOwner;
    if (newMode & 0044)
        wanted |= QFile::ReadGroup | QFile::ReadOther;
    QCOMPARE(platform::replaceTextFile(target, {"pw"}, wanted), QString());

    QCOMPARE(int(modeOf(target)), newMode);
    const auto classBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
        | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(target).permissions() & classBits, wanted);
}

void TestFiles::replaceFailureKeepsOldState_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("lines");
    const QStringList good{"pw", "True", "3"};
    QTest::newRow("missing folder") << "missing folder" << good;
    QTest::newRow("folder is a file") << "folder is a file" << good;
    QTest::newRow("folder at path") << "folder at path" << good;
    QTest::newRow("line break in a line") << "existing file" << QStringList{"pw\nTrue", "3"};
}

void TestFiles::replaceFailureKeepsOldState()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, lines);
    const QString target = makeObstacle(kind);
    QVERIFY(!target.isEmpty());
    const QString parent = QFileInfo(target).path();
    const QString before = describe(parent) + describe(target);

    QVERIFY(!platform::replaceTextFile(target, lines, QFile::ReadOwner | QFile::WriteOwner).isEmpty());
    QCOMPARE(describe(parent) + describe(target), before);
}

void TestFiles::writeLinesToDevice_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<qint64>("capacity");
    QTest::addColumn<qint64>("chunk");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("written");

    const QStringList lines{"abc", QString::fromUtf8("é")};
    QTest::newRow("all at once") << true << qint64(100) << qint64(100) << lines << true
                                 << QByteArray("abc\n\xc3\xa9\n");
    QTest::newRow("one byte per call") << true << qint64(100) << qint64(1) << lines << true
                                       << QByteArray("abc\n\xc3\xa9\n");
    QTest::newRow("refuses every write") << true << qint64(0) << qint64(100) << lines << false << QByteArray();
    QTest::newRow("full partway") << true << qint64(3) << qint64(100) << lines << false << QByteArray("abc");
    QTest::newRow("not open") << false << qint64(100) << qint64(100) << lines << false << QByteArray();
    // Read back, the mark is dropped and the line keeps its own U+FEFF.
    QTest::newRow("first line begins with U+FEFF")
        << true << qint64(100) << qint64(100) << QStringList{QChar(0xFEFF) + QString("pw"), "a"} << true
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFpw\na\n");
    QTest::newRow("LF in a line, nothing written")
        << true << qint64(100) << qint64(100) << QStringList{"a", "b\nc"} << false << QByteArray();
}

void TestFiles::writeLinesToDevice()
{
    QFETCH(bool, open);
    QFETCH(qint64, capacity);
    QFETCH(qint64, chunk);
    QFETCH(QStringList, lines);
    QFETCH(bool, ok);
    QFETCH(QByteArray, written);
    LimitedDevice device(capacity, chunk);
    if (open)
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(platform::writeLines(&device, lines).isEmpty(), ok);
    QCOMPARE(device.m_data, written);
}

void TestFiles::appendLines_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("mode"); // an existing file's, kept; a new file's, less the umask

    QTest::newRow("creates then appends")
        << false << QByteArray() << QStringList{"a", "b"} << QByteArray("a\nb\n") << 0600;
    QTest::newRow("empty file") << true << QByteArray() << QStringList{"a"} << QByteArray("a\n") << 0644;
    QTest::newRow("after complete line") << true << QByteArray("a\n") << QStringList{"b"} << QByteArray("a\nb\n")
                                         << 0640;
    QTest::newRow("torn last line ended")
        << true << QByteArray("a\nb") << QStringList{"c"} << QByteArray("a\nb\nc\n") << 0600;
    QTest::newRow("non-ASCII") << false << QByteArray() << QStringList{QString::fromUtf8("Zoë,東京")}
                               << QByteArray("Zo\xc3\xab,\xe6\x9d\xb1\xe4\xba\xac\n") << 0600;

    // Only the quotes of the unfinished line count, however far back its start lies.
    const QByteArray longValue(9000, 'y');
    QTest::newRow("open value longer than a read")
        << true << "\"a\",\n\"" + longValue << QStringList{"c"} << "\"a\",\n\"" + longValue + "\"\nc\n"
        << 0644;
    QTest::newRow("quote before the last line break")
        << true << "\"\n" + longValue << QStringList{"c"} << "\"\n" + longValue + "\nc\n"
        << 0644;
    QTest::newRow("open value, no line break")
        << true << "\"" + longValue << QStringList{"c"} << "\"" + longValue + "\"\nc\n"
        << 0644;
}

void TestFiles::appendLines()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, initial);
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, expected);
    QFETCH(int, mode);
    const QString target = path("quillmore.csv");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (exists) {
        QVERIFY(writeBytes(target, initial));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode_t(mode)), 0);
    }
    for (const QString& line : lines)
        QCOMPARE(platform::appendLineDurably(target, line), QString());
    QCOMPARE(readBytes(target), expected);
    QCOMPARE(modeOf(target), exists ? mode_t(mode) : mode_t(mode & ~mask));
}

void TestFiles::appendFailureKeepsOldState_data()
{
    // clang-format off
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow("full disk") << "full disk" << "a,b";
    QTest::newRow("missing folder") << "missing folder" << "a,b";
    QTest::newRow("folder is a file") << "folder is a file" << "a,b";
    QTest::newRow("folder at path") << "folder at path" << "a,b";
    QTest::newRow("CR in the line") << "existing file" << "a\rb";
    // clang-format on
}

void TestFiles::appendFailureKeepsOldState()
{
    QFETCH(QString, kind);
    QFETCH(QString, line);
    if (kind == u"full disk" && !QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    const QString target = makeObstacle(kind);
    QVERIFY(!target.isEmpty());
    const QString parent = QFileInfo(target).path();
    const QString before = describe(parent) + describe(target);

    QVERIFY(!platform::appendLineDurably(target, line).isEmpty());
    QCOMPARE(describe(parent) + describe(target), before);
}

void TestFiles::appendCutShortIsRolledBack_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<int>("room"); // bytes the write may get through before it fails

    QTest::newRow("torn line, fails after the repair") << true << QByteArray("a\nb") << 1;
    QTest::newRow("torn value, fails after closing it") << true << QByteArray("a\n\"b") << 2;
    QTest::newRow("fails mid-line") << true << QByteArray("a\nb\n") << 5;
    QTest::newRow("new file") << false << QByteArray() << 5;
}

void TestFiles::appendCutShortIsRolledBack()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, initial);
    QFETCH(int, room);
    const QString target = path("quillmore.csv");
    if (exists)
        QVERIFY(writeBytes(target, initial));
    const QString before = describe(m_dir->path()) + describe(target);

    QString error;
    {
        FileSizeLimit limit(rlim_t(initial.size() + room));
        QVERIFY(limit.active());
        error = platform::appendLineDurably(target, QString(40, u'z'));
    }
    QVERIFY(!error.isEmpty());
    QCOMPARE(describe(m_dir->path()) + describe(target), before);
}

namespace {

// A sign-up record whose bytes hold every kind of place a cut can fall: in and between quoted values,
// inside a doubled quote, after a comma, inside a multi-byte character.
QByteArray tornRecordBytes()
{
    return QStringLiteral(
               "\"Zoë \"\"Z\"\"\",\"Ñandú\",\"zoe@example.org\",\"\",\"Washington, D.C.\",\"\",\"東京\",\"\","
               "\"\",\"\",\"\",\"\",\"\",\"html\",\n")
        .toUtf8();
}

} // namespace

void TestFiles::appendAfterTornRecord_data()
{
    QTest::addColumn<int>("cut");
    const qsizetype size = tornRecordBytes().size();
    for (int cut = 0; cut <= size; ++cut)
        QTest::addRow("cut at byte %d", cut) << cut;
}

// A power cut may end the file anywhere in a record. The next record must still come back whole from
// a reader that takes the file as one CSV stream, and nothing before it may change.
void TestFiles::appendAfterTornRecord()
{
    QFETCH(int, cut);
    const QByteArray before = "\"earlier\",\n" + tornRecordBytes().left(cut);
    const QString target = path("quillmore.csv");
    QVERIFY(writeBytes(target, before));

    const QString next =
        QStringLiteral("\"Bob \"\"B\"\", Jr.\",\"\",\"bob@example.org\",\"\",\"\",\"\",\"CANADA\",\"\",\"\",\"\","
                       "\"\",\"\",\"\",\"html\",");
    QCOMPARE(platform::appendLineDurably(target, next), QString());

    const QByteArray after = readBytes(target);
    QVERIFY(after.startsWith(before));
    const std::optional<QList<QStringList>> records = parseCsv(QString::fromUtf8(after));
    QVERIFY2(records, after.constData());
    QCOMPARE(records->size(), cut == 0 ? 2 : 3);
    QCOMPARE(records->first(), (QStringList{"earlier", ""}));
    QCOMPARE(records->last(),
             (QStringList{"Bob \"B\", Jr.", "", "bob@example.org", "", "", "", "CANADA", "", "", "", "", "", "", "html",
                          ""}));
}

// Two processes append to one file at once: every line arrives whole and once, in its writer's
// order, with no blank line between. A pipe starts both together; nothing depends on timing.
void TestFiles::twoWritersAtOnce()
{
    constexpr int kWriters = 2;
    constexpr int kAppends = 1000;
    // Lengths vary so that lines end all over the file's pages.
    const auto lineOf = [](int writer, int i) {
        return QStringLiteral("\"writer %1\",\"line %2\",\"%3\",")
            .arg(writer)
            .arg(i)
            .arg(QString((i * 37) % 9000, u'x'));
    };
    const QString target = path("quillmore.csv");

    int gate[2];
    QCOMPARE(::pipe(gate), 0);
    pid_t writers[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        writers[w] = ::fork();
        if (writers[w] == 0) {
            ::close(gate[1]);
            char go = 0;
            while (::read(gate[0], &go, 1) < 0 && errno == EINTR) {}
            int status = 0;
            for (int i = 0; i < kAppends && status == 0; ++i)
                status = platform::appendLineDurably(target, lineOf(w, i)).isEmpty() ? 0 : 1;
            ::_exit(status); // no test teardown in the child
        }
    }
    // Closing the pipe's writing end wakes every writer at once.
    ::close(gate[0]);
    ::close(gate[1]);
    int statuses[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        statuses[w] = -1;
        if (writers[w] > 0) {
            while (::waitpid(writers[w], &statuses[w], 0) < 0 && errno == EINTR) {}
        }
    }
    for (int w = 0; w < kWriters; ++w) {
        QVERIFY(writers[w] > 0);
        QVERIFY(WIFEXITED(statuses[w]) && WEXITSTATUS(statuses[w]) == 0);
    }

    const QByteArray bytes = readBytes(target);
    QVERIFY(bytes.endsWith('\n'));
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    QCOMPARE(lines.size(), kWriters * kAppends);
    int next[kWriters] = {};
    for (const QByteArray& line : lines) {
        const int writer = line.startsWith("\"writer 0\"") ? 0 : 1;
        QCOMPARE(QString::fromUtf8(line), lineOf(writer, next[writer]++));
    }
}

void TestFiles::countCompleteLines_data()
{
    using Outcome = platform::LineCount::Outcome;
    QTest::addColumn<QString>("obstacle"); // empty: a file of these bytes
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<qint64>("lines");

    // As long as a real sign-up, so lines cross the edges of the blocks the count reads.
    const QByteArray record = '"' + QByteArray(180, 'x') + "\",\n";
    QTest::newRow("empty") << QString() << QByteArray() << Outcome::Counted << qint64(0);
    QTest::newRow("one line") << QString() << QByteArray("\"a\",\n") << Outcome::Counted << qint64(1);
    QTest::newRow("blank lines and CR LF count")
        << QString() << QByteArray("\n\r\na\n") << Outcome::Counted << qint64(3);
    QTest::newRow("torn last line") << QString() << QByteArray("\"a\",\n\"Bob\",\"Ma") << Outcome::Counted << qint64(1);
    QTest::newRow("only a torn line") << QString() << QByteArray("\"Bob\"") << Outcome::Counted << qint64(0);
    QTest::newRow("20,000 lines") << QString() << record.repeated(20'000) << Outcome::Counted << qint64(20'000);
    QTest::newRow("20,000 lines and a torn one")
        << QString() << record.repeated(20'000) + "\"Bob" << Outcome::Counted << qint64(20'000);
    QTest::newRow("no file") << QStringLiteral("missing file") << QByteArray() << Outcome::NoFile << qint64(0);
    QTest::newRow("no folder") << QStringLiteral("missing folder") << QByteArray() << Outcome::NoFile << qint64(0);
    QTest::newRow("a folder") << QStringLiteral("folder at path") << QByteArray() << Outcome::Unreadable << qint64(0);
    QTest::newRow("under a file") << QStringLiteral("folder is a file") << QByteArray() << Outcome::Unreadable
                                  << qint64(0);
}

void TestFiles::countCompleteLines()
{
    QFETCH(QString, obstacle);
    QFETCH(QByteArray, bytes);
    QFETCH(platform::LineCount::Outcome, outcome);
    QFETCH(qint64, lines);

    QString target = path(QStringLiteral("quillmore.csv"));
    if (obstacle.isEmpty())
        QVERIFY(writeBytes(target, bytes));
    else if (obstacle != u"missing file")
        target = makeObstacle(obstacle);
    QVERIFY(!target.isEmpty());

    const platform::LineCount count = platform::countCompleteLines(target);
    QCOMPARE(count.outcome, outcome);
    QCOMPARE(count.lines, lines);
    QCOMPARE(count.error.isEmpty(), outcome != platform::LineCount::Outcome::Unreadable);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
