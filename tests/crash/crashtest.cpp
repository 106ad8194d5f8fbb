// Kill-and-verify crash test of the two files the kiosk writes.
//
// A child process appends sign-up records to the data file exactly as the Sign Me Up press does
// (signUpRecord, then appendLineDurably), or saves the settings as the Preferences window does
// (settings::write), and reports each one over a pipe only once the call has returned success. The
// parent kills it with SIGKILL at a random moment, over and over, and after each kill checks the file
// against everything that was acknowledged.
//
// In "consent" mode the child appends each record as a sign-up under a privacy notice does
// (consent::appendSignUp: the notice text kept once, the evidence line, then the record), and after each
// kill every whole record in the data file must also have its evidence, naming the notice, whose text
// is beside the file: the two files in step.
//
//   crashtest data|consent|settings [kills] [--seed N] [--dir FOLDER]
//
// The seed is printed first; the same seed gives the same records and the same kill delays, so a
// failure can be looked at again (the moment a kill lands still depends on the machine).
#include "TestFiles.h"

#include "core/Consent.h"
#include "core/Files.h"
#include "core/Lists.h"
#include "core/SettingsFile.h"
#include "core/SignUpRecord.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Rng = std::mt19937_64;

// A kill lands anywhere from before the child's first call to a dozen or so calls into its run. A save
// of the settings syncs twice (the file, then its folder), so its calls take longer.
constexpr int kMaxDataDelayUs = 15000;
constexpr int kMaxSettingsDelayUs = 40000;
// A new data file every so many kills keeps each check of the whole file short on long runs.
constexpr int kKillsPerDataFile = 25;

// The run's folder, kept after a failure to be looked at.
QString g_folder;

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "FAIL: %s\n", qUtf8Printable(why));
    if (!g_folder.isEmpty())
        std::fprintf(stderr, "The files are kept in %s\n", qUtf8Printable(g_folder));
    std::exit(1);
}

// What makes a quoted value hard: quotes, commas, characters of several UTF-8 lengths (so a line torn
// at any byte may end inside a quoted value or inside a character), and characters the record turns
// into blanks.
const QStringList& pieces()
{
    static const QStringList list = {
        QStringLiteral("Ann"),    QStringLiteral("\""),     QStringLiteral(","),
        QStringLiteral("\"\""),   QStringLiteral(" "),      QStringLiteral("\",\""),
        QStringLiteral("Zoë"),    QStringLiteral("Ørsted"), QStringLiteral("中文"),
        QStringLiteral("😀"),      QStringLiteral("\n"),     QStringLiteral("\r\n"),
        QStringLiteral("\t"),     QStringLiteral("\u2028"), QStringLiteral("O'Neil-Smith"),
        QStringLiteral("@x.org"),
    };
    return list;
}

int uniform(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

// Mostly short; now and then long enough (up to the most an edit field holds) that one write spans
// many pages, where a kill can tear it.
QString text(Rng& rng)
{
    const int length = uniform(rng, 0, 19) == 0 ? uniform(rng, 1000, 30000) : uniform(rng, 0, 12);
    QString value;
    while (value.size() < length)
        value += pieces()[uniform(rng, 0, int(pieces().size()) - 1)];
    return value;
}

Rng rngFor(quint64 seed, int round, int index)
{
    std::seed_seq sequence{quint32(seed), quint32(seed >> 32), quint32(round), quint32(index)};
    return Rng(sequence);
}

// The record the child appends as its index-th in the given round. The first value names it, so every
// record of a run is different.
QString dataRecord(quint64 seed, int round, int index)
{
    Rng rng = rngFor(seed, round, index);
    const QStringList& countries = lists::countries();
    record::Entry e;
    e.firstName = QStringLiteral("%1.%2 ").arg(round).arg(index) + text(rng);
    e.lastName = text(rng);
    e.email = text(rng) + QStringLiteral("@example.org");
    e.postCode = text(rng);
    e.city = text(rng);
    e.country = countries[uniform(rng, 0, int(countries.size()) - 1)];
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

settings::Values settingsValues(quint64 seed, int round, int index)
{
    Rng rng = rngFor(seed, round, index);
    settings::Values values;
    // A password holds no line break: the Preferences window's field takes none.
    values.password = text(rng).remove(u'\n').remove(u'\r');
    values.fullScreen = uniform(rng, 0, 1) == 1;
    values.countryIndex = uniform(rng, 0, int(lists::countries().size()) - 1);
    return values;
}

QByteArray settingsBytes(const settings::Values& values)
{
    return (settings::format(values).join(u'\n') + u'\n').toUtf8();
}

// One child process: does the work for index 0, 1, 2... and reports each index once its call returned
// success, until it is killed. Never returns.
[[noreturn]] void runChild(int reportFd, const std::function<QString(int)>& work)
{
    for (qint32 index = 0;; ++index) {
        const QString error = work(index);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "child: %s\n", qUtf8Printable(error));
            ::_exit(3);
        }
        // Under PIPE_BUF bytes: a kill never tears a report.
        if (::write(reportFd, &index, sizeof index) != sizeof index)
            ::_exit(4);
    }
}

// Starts a child doing the work, kills it after a random delay and returns the indexes it acknowledged,
// checked to be 0, 1, 2... in order.
int killedRun(Rng& rng, int maxDelayUs, const std::function<QString(int)>& work)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        fail(QStringLiteral("pipe: %1").arg(qt_error_string(errno)));
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        fail(QStringLiteral("fork: %1").arg(qt_error_string(errno)));
    if (child == 0) {
        ::close(fds[0]);
        runChild(fds[1], work);
    }
    ::close(fds[1]);

    const int delayUs = uniform(rng, 0, maxDelayUs);
    timespec delay{0, long(delayUs) * 1000};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {}
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
        fail(QStringLiteral("the child ended by itself (status %1) before it was killed").arg(status));

    int acknowledged = 0;
    qint32 index = 0;
    ssize_t got;
    while ((got = ::read(fds[0], &index, sizeof index)) == sizeof index) {
        if (index != acknowledged)
            fail(QStringLiteral("the child reported %1 after %2 reports").arg(index).arg(acknowledged));
        ++acknowledged;
    }
    if (got != 0)
        fail(QStringLiteral("a torn report from the child"));
    ::close(fds[0]);
    return acknowledged;
}

struct Totals
{
    int kills = 0;
    qint64 acknowledged = 0;
    qint64 unacknowledgedOnDisk = 0; // written whole, killed before the report: allowed, never doubled
    int tornLines = 0;               // lines cut by a kill, ended by the next append
    int cutLines = 0;                // lines cut as a power cut may, ended by the next append
    qint64 withEvidence = 0;         // whole lines found with their evidence, over all checks
};

// One data file through a number of killed runs. The file only ever grows, so after each kill it must
// be the bytes checked last time followed by what the round's child was writing: the end of a torn
// last line first (a line break, after a quote when a quoted value was left open), then its records
// in order, all of the acknowledged ones whole, the last one possibly cut.
class DataFile final
{
public:
    DataFile(QString path, quint64 seed, Totals* totals, const consent::Notice* notice)
        : m_path(std::move(path))
        , m_seed(seed)
        , m_totals(totals)
        , m_notice(notice)
    {
    }

    void killedRound(Rng& rng, int round)
    {
        const quint64 seed = m_seed;
        const QString path = m_path;
        const consent::Notice* notice = m_notice;
        const int acknowledged = killedRun(
            rng, kMaxDataDelayUs, [=](int index) { return append(path, dataRecord(seed, round, index), notice); });
        m_totals->acknowledged += acknowledged;
        QByteArray bytes = QFile::exists(m_path) ? readBytes(m_path) : QByteArray();
        if (!bytes.startsWith(m_checked))
            fail(QStringLiteral("round %1: bytes already in the file were changed or lost").arg(round));

        const QByteArray added = bytes.mid(m_checked.size());
        qsizetype at = 0;
        if (!m_checked.isEmpty() && !m_checked.endsWith('\n') && !added.isEmpty()) {
            at = added.startsWith("\"\n") ? 2 : added.startsWith('"') || added.startsWith('\n') ? 1 : -1;
            if (at < 0)
                fail(QStringLiteral("round %1: a new line was glued to the torn line before it").arg(round));
        }
        qsizetype end = at;
        qsizetype acknowledgedEnd = m_checked.size(); // where the last acknowledged record ends
        int index = 0;
        for (;; ++index) {
            const QByteArray line = dataRecord(m_seed, round, index).toUtf8() + '\n';
            const QByteArray found = added.mid(end, line.size());
            if (found.isEmpty())
                break;
            if (!line.startsWith(found))
                fail(QStringLiteral("round %1: record %2 is not in the file as built").arg(round).arg(index));
            if (found.size() < line.size()) {
                ++m_totals->tornLines;
                break;
            }
            m_ackedOrWhole.insert(line.chopped(1));
            end += line.size();
            if (index < acknowledged)
                acknowledgedEnd = m_checked.size() + end;
        }
        if (index < acknowledged)
            fail(QStringLiteral("round %1: %2 acknowledged records, %3 in the file")
                     .arg(round)
                     .arg(acknowledged)
                     .arg(index));
        m_totals->unacknowledgedOnDisk += index - acknowledged;
        for (int i = 0; i < acknowledged; ++i)
            m_acknowledged.insert(dataRecord(m_seed, round, i).toUtf8());

        // A kill seldom tears a line: the child spends its time waiting for the disk, and one write()
        // is torn only when the kill lands while it copies. A power cut can drop any part of what was
        // not yet acknowledged, so now and then the test cuts there, at any byte: inside a quoted value,
        // between the bytes of one character, in the end of the torn line before.
        if (bytes.size() > acknowledgedEnd && uniform(rng, 0, 3) == 0) {
            const qsizetype size = std::uniform_int_distribution<qsizetype>(acknowledgedEnd, bytes.size() - 1)(rng);
            if (!QFile::resize(m_path, size))
                fail(QStringLiteral("round %1: could not cut the file").arg(round));
            bytes.truncate(size);
            if (!bytes.isEmpty() && !bytes.endsWith('\n'))
                ++m_totals->cutLines;
        }
        m_checked = bytes;
        checkWhole(bytes, round);
    }

    // One more append, as the next press would make it: ends a torn last line, after which the whole
    // file is one CSV stream.
    void finish(int round)
    {
        const QString record = dataRecord(m_seed, round, 0);
        if (const QString error = append(m_path, record, m_notice); !error.isEmpty())
            fail(error);
        const QByteArray bytes = readBytes(m_path);
        if (!bytes.endsWith(record.toUtf8() + '\n'))
            fail(QStringLiteral("the last append is not the file's last line"));
        m_ackedOrWhole.insert(record.toUtf8());
        m_acknowledged.insert(record.toUtf8());
        checkWhole(bytes, round);
    }

private:
    // As the press of Sign Me Up does, with or without a notice.
    static QString append(const QString& path, const QString& record, const consent::Notice* notice)
    {
        return notice ? consent::appendSignUp(path, record, notice, QDateTime::currentDateTimeUtc())
                      : platform::appendLineDurably(path, record);
    }

    // Under a notice, every whole record (acknowledged or written just before the kill) has its evidence,
    // naming the notice, and the notice's text is beside the file.
    void checkEvidence(const QByteArray& complete, int round) const
    {
        if (!m_notice)
            return;
        QString error;
        const std::optional<consent::EvidenceByOffset> evidence = consent::readEvidence(m_path, &error);
        if (!evidence)
            fail(QStringLiteral("round %1: %2").arg(round).arg(error));
        qint64 offset = 0;
        QList<QByteArray> lines = complete.split('\n');
        lines.removeLast();
        for (qsizetype i = 0; i < lines.size(); offset += lines[i].size() + 1, ++i) {
            if (!m_ackedOrWhole.contains(lines[i]))
                continue;
            const std::optional<consent::Evidence> found = consent::evidenceFor(*evidence, offset, lines[i]);
            if (!found || found->noticeSha256 != m_notice->sha256)
                fail(QStringLiteral("round %1: line %2 has no evidence of its notice").arg(round).arg(i + 1));
            ++m_totals->withEvidence;
        }
        if (!lines.isEmpty() && readBytes(consent::noticeFilePath(m_path, m_notice->sha256)) != m_notice->bytes)
            fail(QStringLiteral("round %1: the notice's text is not beside the data file").arg(round));
    }

    // Up to its last line break, the file must read as one strict CSV stream of one record per line:
    // 14 values and the empty field after the last comma for every whole record, fewer only for a line
    // cut by a kill and ended by the next append. Every acknowledged record is there exactly once.
    void checkWhole(const QByteArray& bytes, int round) const
    {
        const QByteArray complete = bytes.left(bytes.lastIndexOf('\n') + 1);
        const std::optional<QList<QStringList>> records = parseCsv(QString::fromUtf8(complete));
        if (!records)
            fail(QStringLiteral("round %1: the file does not read as one CSV stream").arg(round));
        QList<QByteArray> lines = complete.split('\n');
        lines.removeLast(); // after the last line break
        if (records->size() != lines.size())
            fail(
                QStringLiteral("round %1: %2 lines hold %3 records").arg(round).arg(lines.size()).arg(records->size()));

        QHash<QByteArray, int> seen;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringList& values = records->at(i);
            const bool whole = m_ackedOrWhole.contains(lines[i]);
            if (whole && (values.size() != 15 || !values.last().isEmpty()))
                fail(QStringLiteral("round %1: line %2 does not read as 14 values and an empty one")
                         .arg(round)
                         .arg(i + 1));
            if (!whole && values.size() > 15)
                fail(QStringLiteral("round %1: line %2 is not a record as built").arg(round).arg(i + 1));
            ++seen[lines[i]];
        }
        for (const QByteArray& line : m_acknowledged) {
            if (seen.value(line) != 1)
                fail(QStringLiteral("round %1: an acknowledged record is in the file %2 times")
                         .arg(round)
                         .arg(seen.value(line)));
        }
        checkEvidence(complete, round);
    }

    QString m_path;
    quint64 m_seed;
    Totals* m_totals;
    const consent::Notice* m_notice; // null: sign-ups without a notice
    QByteArray m_checked;            // the file as of the last check
    QSet<QByteArray> m_ackedOrWhole; // records found whole in the file
    QSet<QByteArray> m_acknowledged;
};

void crashDataFile(const QString& folder, int kills, quint64 seed, Rng& rng, const consent::Notice* notice)
{
    Totals totals;
    int round = 0;
    for (int file = 0; round < kills; ++file) {
        const QString path = folder + QStringLiteral("/quillmore-%1.csv").arg(file);
        DataFile data(path, seed, &totals, notice);
        for (int i = 0; i < kKillsPerDataFile && round < kills; ++i, ++round) {
            data.killedRound(rng, round);
            ++totals.kills;
        }
        data.finish(kills + file); // a round number no killed run had
        ++totals.acknowledged;
        QFile::remove(path);
        if (notice) {
            QFile::remove(consent::evidenceFilePath(path));
            QFile::remove(consent::noticeFilePath(path, notice->sha256));
        }
    }
    // Any loss has ended the run with a failure before this.
    std::printf("data file: %d kills, %lld acknowledged, 0 lost; %lld more written whole before the report; "
                "torn lines ended by the next append: %d torn by a kill, %d cut as by a power cut\n",
                totals.kills, totals.acknowledged, totals.unacknowledgedOnDisk, totals.tornLines, totals.cutLines);
    if (notice)
        std::printf("consent: every whole line had its evidence and the notice's text beside it, %lld lines checked\n",
                    totals.withEvidence);
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) ? int(info.st_mode & 07777)
                                                                                             : -1;
}

// The settings file after a killed save: the old file or the new one, whole, owner-only.
//
// Beside it, nothing but what the writer writes before its rename, under the one temporary name
// "quillmore.txt.saving": a kill before the rename leaves that file behind, owner-only and the start
// of the new file (perhaps all of it), until the next save replaces it. Such a leftover is checked so
// and counted; after a last save nothing but the settings file may remain.
void crashSettings(const QString& folder, int kills, quint64 seed, Rng& rng)
{
    const QString config = folder + QStringLiteral("/config");
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    const QString path = settings::filePath(config + u'/');
    const QString fileName = QStringLiteral("quillmore.txt");
    const QString leftoverName = QStringLiteral("quillmore.txt.saving");

    Totals totals;
    int leftovers = 0;
    std::optional<settings::Values> current; // in the file as of the last check; none at first
    std::optional<QByteArray> leftBehind;    // under the temporary name as of the last check
    for (int round = 0; round < kills; ++round) {
        const int acknowledged = killedRun(
            rng, kMaxSettingsDelayUs, [=](int index) { return settings::write(settingsValues(seed, round, index)); });
        ++totals.kills;
        totals.acknowledged += acknowledged;

        // Whichever save the kill cut, the file holds the one before it or that one.
        QList<QByteArray> allowed;
        if (acknowledged > 0)
            allowed << settingsBytes(settingsValues(seed, round, acknowledged - 1));
        else if (current)
            allowed << settingsBytes(*current);
        allowed << settingsBytes(settingsValues(seed, round, acknowledged));
        const auto whole = [&](const QString& file) {
            const QByteArray bytes = readBytes(file);
            return std::find(allowed.cbegin(), allowed.cend(), bytes) != allowed.cend();
        };
        const QByteArray saving = allowed.last();

        // A run killed before its first save began leaves the last round's leftover as it was.
        const std::optional<QByteArray> before = std::exchange(leftBehind, std::nullopt);
        const auto leftOver = [&](const QString& file) {
            const QByteArray bytes = readBytes(file);
            return saving.startsWith(bytes) || bytes == before;
        };

        const QStringList entries =
            QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QString& entry : entries) {
            if (entry == fileName)
                continue;
            const QString leftover = config + u'/' + entry;
            if (entry != leftoverName || modeOf(leftover) != 0600 || !leftOver(leftover))
                fail(QStringLiteral("round %1: beside the settings file: %2, mode %3, %4")
                         .arg(round)
                         .arg(entry)
                         .arg(modeOf(leftover), 0, 8)
                         .arg(QString::fromLatin1(readBytes(leftover).left(200).toHex())));
            ++leftovers;
            leftBehind = readBytes(leftover);
        }

        if (!entries.contains(fileName)) {
            if (acknowledged > 0 || current)
                fail(QStringLiteral("round %1: the settings file is gone").arg(round));
            continue;
        }
        if (modeOf(path) != 0600)
            fail(QStringLiteral("round %1: the settings file's mode is %2").arg(round).arg(modeOf(path), 0, 8));
        if (!whole(path))
            fail(
                QStringLiteral("round %1: the settings file is neither the old one nor the new one, whole").arg(round));
        const std::optional<settings::Values> read = settings::read();
        if (!read || settingsBytes(*read) != readBytes(path))
            fail(QStringLiteral("round %1: the settings read back differ from the file's").arg(round));
        current = read;
    }
    // The next save clears what a killed one left.
    if (const QString error = settings::write(settingsValues(seed, kills, 0)); !error.isEmpty())
        fail(QStringLiteral("the last save failed: %1").arg(error));
    const QStringList after =
        QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (after != QStringList{fileName})
        fail(QStringLiteral("after the last save the folder holds: %1").arg(after.join(u',')));
    std::printf("settings file: %d kills, %lld saves acknowledged, 0 lost; %d kills left the new file or its "
                "start under the temporary name beside it, until the next save\n",
                totals.kills, totals.acknowledged, leftovers);
}

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: crashtest data|consent|settings [kills] [--seed N] [--dir FOLDER]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        usage();
    const QString mode = QString::fromLocal8Bit(argv[1]);
    if (mode != QStringLiteral("data") && mode != QStringLiteral("consent") && mode != QStringLiteral("settings"))
        usage();
    int kills = 200;
    quint64 seed = std::random_device()();
    QString dir;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool ok = true;
        if (arg == QStringLiteral("--seed") && i + 1 < argc)
            seed = QString::fromLocal8Bit(argv[++i]).toULongLong(&ok);
        else if (arg == QStringLiteral("--dir") && i + 1 < argc)
            dir = QString::fromLocal8Bit(argv[++i]);
        else
            kills = arg.toInt(&ok);
        if (!ok || kills < 1)
            usage();
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("crashtest %s: seed %llu (run again with --seed %llu)\n", argv[1], seed, seed);

    QTemporaryDir temporary(dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/crashtest-XXXXXX")
                                          : dir + QStringLiteral("/crashtest-XXXXXX"));
    if (!temporary.isValid())
        fail(QStringLiteral("no temporary folder: %1").arg(temporary.errorString()));
    // std::exit in fail() leaves it; a run that passes removes it.
    g_folder = temporary.path();
    Rng rng(seed);
    // A notice of several lines, with characters of several UTF-8 lengths.
    const consent::NoticeFile notice = consent::noticeFromBytes(
        QStringLiteral("Quillmore keeps your details to send you news. Zoë, Ørsted, 中文 😀\n\nThe rest.\n").toUtf8());
    if (mode == QStringLiteral("data"))
        crashDataFile(temporary.path(), kills, seed, rng, nullptr);
    else if (mode == QStringLiteral("consent"))
        crashDataFile(temporary.path(), kills, seed, rng, &*notice.notice);
    else
        crashSettings(temporary.path(), kills, seed, rng);
    return 0;
}
