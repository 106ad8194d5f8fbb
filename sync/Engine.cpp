#include "sync/Engine.h"

#include "sync/Connection.h"
#include "sync/Record.h"
#include "sync/State.h"

#include "core/Consent.h"
#include "core/Export.h"
#include "core/Files.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbsync {

QString timesFileOf(const QString& stateFile)
{
    QString base = stateFile;
    if (base.endsWith(QStringLiteral(".txt")))
        base.chop(4);
    return base + QStringLiteral("-times.txt");
}

QString heldFileOf(const QString& stateFile)
{
    QString base = stateFile;
    if (base.endsWith(QStringLiteral(".txt")))
        base.chop(4);
    return base + QStringLiteral("-sending.csv");
}

namespace {

// One round trip: a batch of lines, the status row, or both.
struct Job
{
    SyncState from; // where the state stood when the batch was made: it follows on from there
    QString fileId;
    int count = 0;
    QByteArray offsets, times, raws;       // the arrays of add_signups
    QList<QByteArray> columns;             // and one per column, then the evidence and the export's values
    QList<QByteArray> notices;             // the SHA-256 of each notice text going with the batch
    QByteArray noticeHashes, noticeBodies; // the arrays of add_notices
    qint64 endOffset = 0;                  // after the batch's last line
    qint64 asideLines = 0;
    qint64 lastAsideLine = 0;
    qint64 lastSignUp = 0;

    bool status = false;
    qint64 localCount = 0;
    qint64 waiting = 0; // once the batch is in
};

const char* const kAddSignUps =
    "SELECT quillmore.add_signups($1, $2, $3::bigint[], $4::bigint[], $5::text[], $6::text[], $7::text[], "
    "$8::text[], $9::text[], $10::text[], $11::text[], $12::text[], $13::text[], $14::text[], $15::text[], "
    "$16::text[], $17::text[], $18::text[], $19::text[], $20::text[], $21::text[], $22::text[], $23::text[])";
const char* const kAddNotices = "SELECT quillmore.add_notices($1::text[], $2::text[])";
const char* const kKioskStatus = "SELECT quillmore.kiosk_status($1, $2, $3::bigint, $4::bigint, $5::bigint)";

// Reads exactly what is there from offset, up to size bytes.
QByteArray readAt(int fd, qint64 offset, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(size - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// Holds a shared lock on the data file: the sign-up appends under an exclusive one, so what is read
// meanwhile never holds half an append, nor one the sign-up is about to take back after a failed sync.
class SharedLock final
{
public:
    explicit SharedLock(int fd)
        : m_fd(fd)
    {
        while (::flock(m_fd, LOCK_SH) != 0 && errno == EINTR) {}
    }
    ~SharedLock() { ::flock(m_fd, LOCK_UN); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    int m_fd;
};

// The state and times files' writes, on a thread of their own, in the order given, so that their syncs
// never hold up a batch nor the reply to one. The order is what the files rely on: a line's time is
// on disk before a state that says the line is confirmed, and that state before the times go.
class DiskQueue final
{
public:
    DiskQueue()
        : m_thread([this] { run(); })
    {
    }

    // Does what still waits, then ends.
    ~DiskQueue()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void later(std::function<void()> task)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_changed.notify_all();
    }

    // Returns once everything given so far is done.
    void flush()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_tasks.empty() || m_stopping; });
            if (m_tasks.empty())
                return;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_busy = true;
            lock.unlock();
            task();
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace

// Talks to the server, on a thread of its own: every call may wait up to the timeout.
class Link final : public QObject
{
public:
    Link(const Settings& settings)
        : m_settings(settings)
    {
    }

    std::optional<Failure> run(const Job& job)
    {
        if (!m_connection.isOpen()) {
            if (std::optional<Failure> failure = m_connection.open(m_settings.conninfo, m_settings.timeout))
                return failure;
        }
        // Before the lines that name them; a text the database has already adds nothing.
        if (!job.notices.isEmpty()) {
            const Connection::Answer answer =
                m_connection.exec(kAddNotices, {job.noticeHashes, job.noticeBodies}, m_settings.timeout);
            if (answer.failure)
                return answer.failure;
        }
        if (job.count > 0) {
            QList<std::optional<QByteArray>> parameters = {m_settings.kioskName.toUtf8(), job.fileId.toUtf8(),
                                                           job.offsets, job.times, job.raws};
            for (const QByteArray& column : job.columns)
                parameters << column;
            const Connection::Answer answer = m_connection.exec(kAddSignUps, parameters, m_settings.timeout);
            if (answer.failure)
                return answer.failure;
        }
        if (job.status) {
            const std::optional<QByteArray> lastSignUp =
                job.lastSignUp > 0 ? std::optional<QByteArray>(QByteArray::number(job.lastSignUp)) : std::nullopt;
            const Connection::Answer answer =
                m_connection.exec(kKioskStatus,
                                  {m_settings.kioskName.toUtf8(), m_settings.version.toUtf8(),
                                   QByteArray::number(job.localCount), QByteArray::number(job.waiting), lastSignUp},
                                  m_settings.timeout);
            if (answer.failure)
                return answer.failure;
        }
        return std::nullopt;
    }

    void interrupt() { m_connection.interrupt(); }

private:
    const Settings m_settings;
    Connection m_connection;
};

// Watches and reads the data file and keeps the state, on a thread of its own; never waits for the
// server, so a sign-up's time is noted the moment it appears, whatever the server does.
class Worker final : public QObject
{
public:
    Worker(Engine* engine, Settings settings, QString host, QString account, Link* link)
        : m_engine(engine)
        , m_settings(std::move(settings))
        , m_timesFile(timesFileOf(m_settings.stateFile))
        , m_link(link)
    {
        m_status.host = std::move(host);
        m_status.account = std::move(account);
    }

    ~Worker() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    void start()
    {
        m_saved = readState(m_settings.stateFile).value_or(SyncState{});
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &Worker::fileChanged);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &Worker::fileChanged);
        m_lookLater = new QTimer(this);
        m_lookLater->setSingleShot(true);
        connect(m_lookLater, &QTimer::timeout, this, &Worker::fileEvent);
        const QString folder = QFileInfo(m_settings.dataFile).absolutePath();
        if (QFileInfo(folder).isDir())
            m_watcher->addPath(folder);
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &Worker::sendNext);
        // The status row's beat, which also looks at the file once more in case a change went unseen.
        m_beat = new QTimer(this);
        m_beat->setInterval(m_settings.statusEvery);
        connect(m_beat, &QTimer::timeout, this, [this] {
            if (!m_retry->isActive())
                fileEvent();
        });
        m_beat->start();
        m_stateLater = new QTimer(this);
        m_stateLater->setSingleShot(true);
        m_stateLater->setInterval(kStateEvery);
        connect(m_stateLater, &QTimer::timeout, this, &Worker::writeStateLater);
        m_timesLater = new QTimer(this);
        m_timesLater->setSingleShot(true);
        connect(m_timesLater, &QTimer::timeout, this, &Worker::flushTimes);
        follow(false);
        sendNext();
    }

    // Every append is a change, and a look follows it at once; but a change within kBurst of the last
    // look is one of a burst (sign-ups pressed faster than any person can, a file copied in), looked at
    // together kBurstLook after that look, so that the sync keeps off the cores the press needs.
    void fileChanged()
    {
        if (m_lookLater->isActive())
            return;
        const qint64 since = m_lastLook.isValid() ? m_lastLook.nsecsElapsed() : kBurstLook.count();
        if (since >= std::chrono::nanoseconds(kBurst).count())
            fileEvent();
        else
            m_lookLater->start(
                kBurstLook - std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(since)));
    }

    // The data file changed, or its folder did (the file was made, moved away, begun anew).
    void fileEvent()
    {
        m_lastLook.start();
        watchFile();
        const qint64 before = m_seenLines;
        const QList<qint64> fresh = follow(true);
        const bool grew = m_seenLines > before;
        // A new sign-up does not wait out the pause after a failure, though it waits for a second after
        // the last attempt: a server that refuses at once would otherwise cost an attempt per sign-up,
        // on the cores the press needs.
        if (grew && m_retry->isActive()) {
            const qint64 since = m_lastAttempt.isValid() ? m_lastAttempt.elapsed() : kRetryOnSignUp.count();
            const qint64 left = kRetryOnSignUp.count() - since;
            if (left <= 0)
                m_retry->stop();
            else if (m_retry->remainingTime() > left)
                m_retry->start(std::chrono::milliseconds(left));
        }
        if (!m_retry->isActive())
            sendNext();
        writeTimes(fresh);
        if (grew)
            publish();
    }

    // No job goes out after this, and the one under way ends at once.
    void stop()
    {
        m_stopping = true;
        m_retry->stop();
        m_beat->stop();
        m_link->interrupt();
        flushTimes();
        // What is confirmed is kept (the disk queue's end writes it).
        if (m_stateLater->isActive()) {
            m_stateLater->stop();
            writeStateLater();
        }
    }

private:
    // The times of lines just noted, durably, with one append and one sync for each write. The first
    // after a quiet spell goes at once; those of a burst (a person signs up every few seconds at most;
    // a file copied in, a test pressing as fast as it can) go together once every kTimesEvery, so that
    // their syncs leave the disk to the press. Only a power cut in that moment loses a time (the line
    // then goes with none); a line already confirmed needs none.
    void writeTimes(const QList<qint64>& fresh)
    {
        if (!m_timesPending.isEmpty() && m_timesPendingFile != m_fileId)
            flushTimes();
        for (const qint64 offset : fresh) {
            if (const auto time = m_times.constFind(offset); time != m_times.cend())
                m_timesPending.append({offset, *time});
        }
        m_timesPendingFile = m_fileId;
        if (m_timesPending.isEmpty() || m_timesLater->isActive())
            return;
        const qint64 since = m_lastTimes.isValid() ? m_lastTimes.elapsed() : kTimesEvery.count();
        if (since >= kTimesEvery.count())
            flushTimes();
        else
            m_timesLater->start(kTimesEvery - std::chrono::milliseconds(since));
    }

    void flushTimes()
    {
        m_timesLater->stop();
        if (m_timesPending.isEmpty())
            return;
        m_lastTimes.start();
        m_disk.later([path = m_timesFile, fileId = m_timesPendingFile, times = std::exchange(m_timesPending, {})] {
            if (const QString error = appendTimes(path, fileId, times); !error.isEmpty())
                qWarning("sync: %s", qUtf8Printable(error));
        });
    }

    // Should the write fail, the lines go again after a restart, and the database ignores them.
    void writeStateLater()
    {
        if (m_stateLater)
            m_stateLater->stop();
        m_disk.later([path = m_settings.stateFile, state = m_saved] {
            if (const QString error = writeState(path, state); !error.isEmpty())
                qWarning("sync: %s", qUtf8Printable(error));
        });
    }

    void watchFile()
    {
        const QString folder = QFileInfo(m_settings.dataFile).absolutePath();
        if (!m_watcher->directories().contains(folder) && QFileInfo(folder).isDir())
            m_watcher->addPath(folder);
        if (!m_watcher->files().contains(m_settings.dataFile) && QFileInfo::exists(m_settings.dataFile))
            m_watcher->addPath(m_settings.dataFile);
    }

    // Opens the file the path names, finishes a file that was moved away, and reads what was added.
    // With noteTimes, each new line's time is now; returns their offsets.
    QList<qint64> follow(bool noteTimes)
    {
        if (m_fd >= 0 && !isStillNamed()) {
            // Moved away (the next event begins). A sign-up under way as it moved still lands in it: its
            // lock is waited for, then the file is read to its end. Once all of it is confirmed, the file
            // the path now names is next.
            scan(noteTimes);
            if (m_saved.confirmedOffset < m_seenEnd || m_sending)
                return takeFresh();
            m_fresh.clear();
            ::close(m_fd);
            m_fd = -1;
            m_fromHeld = false;
        }
        if (m_fd < 0) {
            // After a restart, the file being sent before it may have moved away meanwhile: the link held
            // beside the state still reaches it, and its rest goes first.
            if (!m_checkedHeld) {
                m_checkedHeld = true;
                m_fd = ::open(QFile::encodeName(m_heldFile).constData(), O_RDONLY | O_CLOEXEC);
                m_fromHeld = m_fd >= 0 && !isStillNamed();
                if (m_fd >= 0 && !m_fromHeld) {
                    ::close(m_fd);
                    m_fd = -1;
                }
            }
            if (m_fd < 0)
                m_fd = ::open(QFile::encodeName(m_settings.dataFile).constData(), O_RDONLY | O_CLOEXEC);
            if (m_fd < 0)
                return {};
            m_fileId.clear();
            m_seenEnd = 0;
            m_seenLines = 0;
            m_times.clear();
            watchFile();
            // What is in the file already was written before this sync saw it: its times are not known,
            // unless the times file has them. So the first pass notes none.
            noteTimes = false;
        }
        scan(noteTimes);
        if (m_staleHeld) {
            // The held file is not the one the state speaks of: nothing of it is waiting.
            m_staleHeld = false;
            m_fromHeld = false;
            ::close(m_fd);
            m_fd = -1;
            return follow(noteTimes);
        }
        return takeFresh();
    }

    // A second name for the file being sent, beside the state file, so it stays in reach should it be
    // moved away while the kiosk is not running. Where it cannot be made (the data file is on another
    // file system, such as a USB stick), a file moved away then loses the lines not yet sent.
    void hold()
    {
        struct stat held = {};
        struct stat mine = {};
        const QByteArray heldName = QFile::encodeName(m_heldFile);
        if (::fstat(m_fd, &mine) != 0)
            return;
        if (::stat(heldName.constData(), &held) == 0 && held.st_dev == mine.st_dev && held.st_ino == mine.st_ino)
            return;
        const QByteArray fresh = heldName + ".new";
        ::unlink(fresh.constData());
        const QByteArray handle = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, handle.constData(), AT_FDCWD, fresh.constData(), AT_SYMLINK_FOLLOW) != 0
            || ::rename(fresh.constData(), heldName.constData()) != 0) {
            qWarning("sync: cannot link %s beside the state: %s", qUtf8Printable(m_settings.dataFile),
                     qUtf8Printable(qt_error_string(errno)));
            ::unlink(fresh.constData());
            return;
        }
        platform::syncFolder(QFileInfo(m_heldFile).absolutePath());
    }

    QList<qint64> takeFresh()
    {
        QList<qint64> fresh;
        fresh.swap(m_fresh);
        return fresh;
    }

    bool isStillNamed() const
    {
        struct stat held = {};
        struct stat named = {};
        if (::fstat(m_fd, &held) != 0)
            return false;
        if (::stat(QFile::encodeName(m_settings.dataFile).constData(), &named) != 0)
            return false;
        return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }

    // Reads the complete lines added since the last look, in large blocks, under the shared lock.
    void scan(bool noteTimes)
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const SharedLock lock(m_fd);
        // As much as the file holds beyond what was seen, a block at a time: mostly one line.
        struct stat info = {};
        const qint64 size = ::fstat(m_fd, &info) == 0 ? qint64(info.st_size) : m_seenEnd + (1 << 20);
        for (;;) {
            const QByteArray block = readAt(m_fd, m_seenEnd, std::clamp<qint64>(size - m_seenEnd, 0, 1 << 20));
            const qsizetype lastBreak = block.lastIndexOf('\n');
            if (lastBreak < 0)
                break; // nothing new, or a line still being written (or torn) that no append has ended
            for (qsizetype at = 0; at <= lastBreak;) {
                const qsizetype end = block.indexOf('\n', at);
                if (noteTimes) {
                    m_times.insert(m_seenEnd + at, now);
                    m_fresh << m_seenEnd + at;
                }
                ++m_seenLines;
                at = end + 1;
            }
            m_seenEnd += lastBreak + 1;
            if (block.size() < (1 << 20))
                break;
        }
        // A block that holds no line break at all, of a line longer than a block, is read on by the
        // next look; such a line comes only from an edited file.
        if (m_fileId.isEmpty() && m_seenLines > 0)
            identify();
    }

    // The data file's identity: its inode, when it was made and its first line. Moving it away and
    // beginning a new one gives the new one another identity, whatever names and numbers repeat.
    void identify()
    {
        struct statx info = {};
        QByteArray made = "0";
        if (::statx(m_fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &info) == 0 && (info.stx_mask & STATX_BTIME))
            made = QByteArray::number(qint64(info.stx_btime.tv_sec)) + '.'
                + QByteArray::number(info.stx_btime.tv_nsec).rightJustified(9, '0');
        QByteArray first;
        for (qint64 at = 0;; at += 1 << 20) {
            const QByteArray block = readAt(m_fd, at, 1 << 20);
            const qsizetype end = block.indexOf('\n');
            first += end < 0 ? block : block.left(end);
            if (end >= 0 || block.isEmpty())
                break;
        }
        const QByteArray hash = QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex().left(16);
        m_fileId = QString::fromLatin1(made + '-' + QByteArray::number(quint64(info.stx_ino)) + '-' + hash);

        const bool known = m_saved.fileId == m_fileId && m_saved.target == m_status.account && confirmedIsLineStart();
        if (m_fromHeld && !known) {
            m_staleHeld = true;
            return;
        }
        if (!known) {
            // Written at once, before the file is held: should it be moved away before anything of it is
            // confirmed, the held file is then still known for what it is after a restart.
            m_saved = SyncState{m_status.account, m_fileId};
            writeStateLater();
            m_disk.flush();
        }
        if (!m_fromHeld)
            hold();
        // The times seen before a restart, for what is still to go; and the ones just noted.
        m_disk.flush();
        Times times = readTimes(m_timesFile, m_fileId, m_saved.confirmedOffset);
        times.insert(m_times);
        m_times = times;
    }

    // A confirmation that does not fall on a line start belongs to another file (or none): start over.
    bool confirmedIsLineStart() const
    {
        if (m_saved.confirmedOffset == 0)
            return true;
        return m_saved.confirmedOffset <= m_seenEnd && readAt(m_fd, m_saved.confirmedOffset - 1, 1) == "\n";
    }

    // The next lines from where from leaves off (the confirmed offset, or the end of the batch on its
    // way), as add_signups takes them.
    Job nextBatch(const SyncState& from)
    {
        Job job;
        job.from = from;
        job.fileId = m_fileId;
        job.endOffset = from.confirmedOffset;
        job.asideLines = from.asideLines;
        job.lastAsideLine = from.lastAsideLine;
        job.lastSignUp = from.lastSignUp;
        if (m_fd < 0 || m_fileId.isEmpty() || from.fileId != m_fileId || from.confirmedOffset >= m_seenEnd)
            return job;
        // About what the batch's lines take, judged by the lines seen so far, rather than all that waits.
        const qint64 rest = m_seenEnd - from.confirmedOffset;
        const qint64 perLine = 2 * m_seenEnd / std::max<qint64>(m_seenLines, 1) + 64;
        QByteArray block =
            readAt(m_fd, from.confirmedOffset, std::min({rest, m_settings.batchBytes, perLine * m_batchLines}));
        if (!block.contains('\n'))
            block = readAt(m_fd, from.confirmedOffset, std::min(rest, m_settings.batchBytes));
        // A line longer than a batch's bytes goes alone.
        if (!block.contains('\n'))
            block = readAt(m_fd, from.confirmedOffset, rest);

        // Read after the data file, so that every line read has its evidence there (core/Consent.h).
        // It only grows, so the same size and time is the same text: a backlog parses it once.
        const QFileInfo evidenceFile(consent::evidenceFilePath(m_settings.dataFile));
        const std::pair<qint64, QDateTime> evidenceSeen = {evidenceFile.exists() ? evidenceFile.size() : -1,
                                                           evidenceFile.lastModified()};
        if (!m_evidence || evidenceSeen != m_evidenceSeen) {
            QString error;
            m_evidence = consent::readEvidence(m_settings.dataFile, &error);
            m_evidenceSeen = evidenceSeen;
            if (!m_evidence) {
                // Sent without it, the evidence would never follow: the lines wait until it can be read.
                qWarning("sync: %s", qUtf8Printable(error));
                return job;
            }
        }
        const consent::EvidenceByOffset& evidence = *m_evidence;

        IntegerArray offsets, times;
        TextArray values[14], raws, extra[4], noticeHashes, noticeBodies;
        qint64 lineNumber = from.confirmedLines;
        for (qsizetype at = 0; job.count < m_batchLines;) {
            const qsizetype end = block.indexOf('\n', at);
            if (end < 0)
                break;
            const qint64 offset = from.confirmedOffset + at;
            const QByteArrayView line(block.constData() + at, end - at);
            ++lineNumber;
            offsets.append(offset);
            const auto time = m_times.constFind(offset);
            if (time != m_times.cend()) {
                times.append(*time);
                job.lastSignUp = std::max(job.lastSignUp, *time);
            } else {
                times.appendNull();
            }
            if (const std::optional<QStringList> parsed = recordValues(line)) {
                for (int i = 0; i < 14; ++i)
                    values[i].append(QStringView(parsed->at(i)));
                raws.appendNull();
                const std::optional<consent::Evidence> found = consent::evidenceFor(evidence, offset, line);
                if (found) {
                    extra[0].append(QByteArrayView(found->signedUp));
                    extra[1].append(QByteArrayView(found->noticeSha256));
                } else {
                    extra[0].appendNull();
                    extra[1].appendNull();
                }
                // As the export has them, from the export's own rules.
                const QStringList exported = exporting::row(*parsed, found);
                extra[2].append(QStringView(exported.at(6)));
                extra[3].append(QStringView(exported.at(7)));
                if (found && !m_noticesSent.contains(found->noticeSha256)
                    && !job.notices.contains(found->noticeSha256)) {
                    job.notices << found->noticeSha256;
                    // A text lost or changed beside the data file goes without: its hash still names it.
                    QFile text(consent::noticeFilePath(m_settings.dataFile, found->noticeSha256));
                    const QByteArray body = text.open(QIODevice::ReadOnly) ? text.readAll() : QByteArray();
                    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() == found->noticeSha256) {
                        noticeHashes.append(QByteArrayView(found->noticeSha256));
                        noticeBodies.append(QByteArrayView(body.toHex()));
                    }
                }
            } else {
                // Kept as it is, beside the sign-ups, and told to the staff line; the lines after it go on.
                for (auto& column : values)
                    column.appendNull();
                for (auto& column : extra)
                    column.appendNull();
                raws.append(QByteArrayView(line.toByteArray().toHex()));
                ++job.asideLines;
                job.lastAsideLine = lineNumber;
            }
            ++job.count;
            job.endOffset = offset + (end - at) + 1;
            at = end + 1;
        }
        job.offsets = offsets.take();
        job.times = times.take();
        for (auto& column : values)
            job.columns << column.take();
        for (auto& column : extra)
            job.columns << column.take();
        job.noticeHashes = noticeHashes.take();
        job.noticeBodies = noticeBodies.take();
        job.raws = raws.take();
        return job;
    }

    // Where the state stands once the job is confirmed.
    static SyncState after(const SyncState& from, const Job& job)
    {
        SyncState state = from;
        state.confirmedOffset = job.endOffset;
        state.confirmedLines += job.count;
        state.asideLines = job.asideLines;
        state.lastAsideLine = job.lastAsideLine;
        state.lastSignUp = job.lastSignUp;
        return state;
    }

    void sendNext()
    {
        if (m_sending || m_stopping)
            return;
        // Lines this look finds first have their times noted here, not by the file's event.
        const QList<qint64> fresh = follow(true);
        // The batch made ready while the last one was on its way, if it still begins where the
        // confirmation ends (a failure, a file begun anew, a restart of the state drop it).
        Job job = m_ready && m_ready->from == m_saved && m_ready->fileId == m_fileId ? std::move(*m_ready)
                                                                                     : nextBatch(m_saved);
        m_ready.reset();
        job.status = !m_statusClock.isValid() || m_statusClock.hasExpired(m_settings.statusEvery.count());
        if (job.count == 0 && !job.status) {
            writeTimes(fresh);
            publish();
            return;
        }
        job.localCount = m_seenLines;
        job.waiting = m_seenLines - m_saved.confirmedLines - job.count;
        m_sending = true;
        m_lastAttempt.start();
        m_onItsWay = after(m_saved, job);
        ++m_status.attempts;
        Link* link = m_link;
        QMetaObject::invokeMethod(link, [this, link, job] {
            const std::optional<Failure> failure = link->run(job);
            QMetaObject::invokeMethod(this, [this, job, failure] { done(job, failure); });
        });
        writeTimes(fresh);
        prepareNext();
    }

    // While a batch is on its way, the next one is made from the lines after it, so that the server
    // and this thread work at once through a backlog. At most one waits: memory stays that of two.
    void prepareNext()
    {
        if (!m_sending || m_stopping || m_ready || m_onItsWay.fileId != m_fileId
            || m_onItsWay.confirmedOffset >= m_seenEnd)
            return;
        Job job = nextBatch(m_onItsWay);
        if (job.count > 0)
            m_ready = std::move(job);
    }

    void done(const Job& job, const std::optional<Failure>& failure)
    {
        m_sending = false;
        if (m_stopping)
            return;
        if (failure) {
            m_ready.reset();
            m_batchLines = kFirstBatch;
            m_status.state = failure->kind == Failure::Kind::Refused ? Status::State::Refused : Status::State::Waiting;
            m_status.reason = failure->reason;
            if (!m_status.failingSince.isValid())
                m_status.failingSince = QDateTime::currentDateTime();
            const double jitter = 0.75 + 0.5 * QRandomGenerator::global()->generateDouble();
            m_retry->start(std::chrono::milliseconds(qint64(double(m_backoff.count()) * jitter)));
            m_backoff = std::min(m_backoff * 2, m_settings.lastRetry);
            publish();
            return;
        }
        if (job.status)
            m_statusClock.start();
        for (const QByteArray& notice : job.notices)
            m_noticesSent.insert(notice);
        const bool confirmed = job.count > 0 && job.fileId == m_saved.fileId;
        if (confirmed) {
            m_saved = after(m_saved, job);
            m_times.removeIf([&](const auto& time) { return time.key() < job.endOffset; });
        }
        m_status.state = Status::State::Sent;
        m_status.reason.clear();
        m_status.failingSince = QDateTime();
        m_backoff = m_settings.firstRetry;
        // Small after a failure, so that a batch gets through on a link that keeps failing; then larger.
        m_batchLines = std::min(m_batchLines * 4, m_settings.batchLines);
        // The lines are committed: said at once. The state file follows, after the next batch has gone
        // out (and the one after it is made), on a thread of its own; a kill before it is written only
        // sends these lines again, and the database ignores a line it has. Their times went with them.
        publish();
        sendNext();
        if (confirmed) {
            // At most once in kStateEvery, and off this thread: the syncs of a state file replaced for
            // every sign-up would hold up the next one's commit. A kill meanwhile sends at most that
            // much again, which the database ignores. m_saved as it is then: a new file's state, should
            // one have begun meanwhile, is the one to keep.
            if (!m_stateLater->isActive())
                m_stateLater->start();
            forgetTimes();
        }
    }

    // Once no known time waits, the times file is begun anew, but not after every batch: a time whose
    // line is confirmed (before the state's offset, or of another file) is never read again, so the
    // file is let grow a little first, saving a replace and its syncs on the way of each sign-up.
    void forgetTimes()
    {
        if (!m_times.isEmpty() || QFileInfo(m_timesFile).size() < kTimesFileLimit)
            return;
        // After the state that confirms those lines, as the queue keeps its order.
        writeStateLater();
        m_disk.later([path = m_timesFile] {
            if (const QString error = clearTimes(path); !error.isEmpty())
                qWarning("sync: %s", qUtf8Printable(error));
        });
    }

    void publish()
    {
        m_status.lines = m_seenLines;
        m_status.sent = m_fileId == m_saved.fileId ? m_saved.confirmedLines : 0;
        m_status.asideLines = m_saved.asideLines;
        m_status.lastAsideLine = m_saved.lastAsideLine;
        m_engine->publish(m_status);
    }

    Engine* m_engine;
    const Settings m_settings;
    const QString m_timesFile;
    Link* m_link;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_retry = nullptr;
    QTimer* m_beat = nullptr;
    QElapsedTimer m_statusClock;
    std::chrono::milliseconds m_backoff = m_settings.firstRetry;
    static constexpr int kFirstBatch = 50;
    static constexpr std::chrono::milliseconds kStateEvery{1000};
    static constexpr std::chrono::milliseconds kRetryOnSignUp{1000};
    QElapsedTimer m_lastAttempt;
    static constexpr std::chrono::microseconds kBurst{500};
    static constexpr std::chrono::milliseconds kBurstLook{20};
    static constexpr std::chrono::milliseconds kTimesEvery{200};
    QElapsedTimer m_lastTimes;
    QTimer* m_timesLater = nullptr;
    QList<std::pair<qint64, qint64>> m_timesPending; // noted, to write
    QString m_timesPendingFile;                      // whose they are
    QElapsedTimer m_lastLook;
    QTimer* m_lookLater = nullptr;
    QTimer* m_stateLater = nullptr;
    static constexpr qint64 kTimesFileLimit = 64 * 1024; // about a thousand times
    int m_batchLines = m_settings.batchLines;            // a backlog at the start goes in large batches
    QSet<QByteArray> m_noticesSent;                      // in the database: the notice texts of lines it confirmed
    std::optional<consent::EvidenceByOffset> m_evidence;
    std::pair<qint64, QDateTime> m_evidenceSeen; // the evidence file's size and time when it was read

    const QString m_heldFile = heldFileOf(m_settings.stateFile);
    bool m_checkedHeld = false; // at start
    bool m_fromHeld = false;    // m_fd was opened through the held name: a file moved away
    bool m_staleHeld = false;
    int m_fd = -1;        // the data file being sent
    QString m_fileId;     // its identity, once it has a first line
    qint64 m_seenEnd = 0; // after its last complete line
    qint64 m_seenLines = 0;
    QList<qint64> m_fresh; // lines noted since the last look, whose times are still to be written
    Times m_times;         // known times of lines not yet confirmed
    SyncState m_saved;     // as in the state file, or about to be
    DiskQueue m_disk;      // its tasks hold copies of what they write; its end does what still waits
    bool m_sending = false;
    SyncState m_onItsWay;       // the state once the batch on its way is confirmed
    std::optional<Job> m_ready; // the batch after it, made meanwhile
    bool m_stopping = false;
    Status m_status;
};

Engine::Engine(Settings settings, QString host, QString account)
    : m_settings(std::move(settings))
{
    m_status.host = host;
    m_status.account = account;
    m_link = new Link(m_settings);
    m_link->moveToThread(&m_linkThread);
    m_worker = new Worker(this, m_settings, host, account, m_link);
    m_worker->moveToThread(&m_fileThread);
    m_fileThread.setObjectName(QStringLiteral("sync-file"));
    m_linkThread.setObjectName(QStringLiteral("sync-link"));
}

Engine::~Engine()
{
    if (!m_fileThread.isRunning()) {
        delete m_worker;
        delete m_link;
        return;
    }
    // The worker sends nothing more and the link's wait ends at once. The link goes first: a job it
    // was running still reports to the worker. Each is deleted on its own thread, the worker with any
    // report still queued for it.
    Worker* worker = m_worker;
    Link* link = m_link;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->stop(); }, Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        link, [link] { delete link; }, Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_fileThread.quit();
    m_fileThread.wait();
    m_linkThread.quit();
    m_linkThread.wait();
}

void Engine::start()
{
    m_fileThread.start();
    m_linkThread.start();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->start(); });
}

Status Engine::status() const
{
    const QMutexLocker lock(&m_mutex);
    return m_status;
}

void Engine::wake()
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->fileEvent(); });
}

void Engine::publish(const Status& status)
{
    {
        const QMutexLocker lock(&m_mutex);
        m_status = status;
    }
    Q_EMIT statusChanged();
}

} // namespace dbsync
