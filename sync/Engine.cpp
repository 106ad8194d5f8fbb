#include "sync/Engine.h"

#include "sync/Connection.h"
#include "sync/Record.h"
#include "sync/State.h"

#include "core/Consent.h"
#include "core/Export.h"
#include "core/Files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSet>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace dbsync {

namespace {

// The state file's name without its ".txt", which the files beside it begin with.
QString besideState(const QString& stateFile, QLatin1String ending)
{
    QString base = stateFile;
    if (base.endsWith(QStringLiteral(".txt")))
        base.chop(4);
    return base + ending;
}

} // namespace

QString timesFileOf(const QString& stateFile)
{
    return besideState(stateFile, QLatin1String("-times.txt"));
}

QString heldFileOf(const QString& stateFile)
{
    return besideState(stateFile, QLatin1String("-sending.csv"));
}

namespace {

// One round trip: a batch of lines, the status row, or both.
struct Job
{
    QString fileId;
    int count = 0;
    QByteArray offsets, times, raws;       // the arrays of add_signups
    QList<QByteArray> columns;             // and one per column, then the evidence and the export's values
    QList<std::optional<QByteArray>> line; // a batch of one line: its values as add_signup takes them
    QList<QByteArray> notices;             // the SHA-256 of each notice text going with the batch
    QByteArray noticeHashes, noticeBodies; // the arrays of add_notices
    qint64 startOffset = 0;                // of the batch's first line
    qint64 endOffset = 0;                  // after the batch's last line
    qint64 asideLines = 0;
    qint64 lastAsideLine = 0;
    qint64 lastSignUp = 0;

    bool status = false;
    qint64 localCount = 0;
    qint64 waiting = 0; // once the batch is in
};

// The data file's columns the export's values come from (see record::line).
constexpr size_t kCountryColumn = 6;
constexpr size_t kCellColumn = 7;

const char* const kAddSignUps =
    "SELECT quillmore.add_signups($1, $2, $3::bigint[], $4::bigint[], $5::text[], $6::text[], $7::text[], "
    "$8::text[], $9::text[], $10::text[], $11::text[], $12::text[], $13::text[], $14::text[], $15::text[], "
    "$16::text[], $17::text[], $18::text[], $19::text[], $20::text[], $21::text[], $22::text[], $23::text[])";
const char* const kAddSignUp = "SELECT quillmore.add_signup($1, $2, $3::bigint, $4::bigint, $5, $6, $7, $8, $9, $10, "
                               "$11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21, $22, $23)";
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

// A data file's identity: its inode, when it was made and its first line. Moving it away and beginning
// a new one gives the new one another identity, whatever names and numbers repeat.
QString fileIdentity(int fd)
{
    struct statx info = {};
    QByteArray made = "0";
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &info) == 0 && (info.stx_mask & STATX_BTIME))
        made = QByteArray::number(qint64(info.stx_btime.tv_sec)) + '.'
            + QByteArray::number(info.stx_btime.tv_nsec).rightJustified(9, '0');
    QByteArray first;
    for (qint64 at = 0;; at += 1 << 20) {
        const QByteArray block = readAt(fd, at, 1 << 20);
        const qsizetype end = block.indexOf('\n');
        first += end < 0 ? block : block.left(end);
        if (end >= 0 || block.isEmpty())
            break;
    }
    const QByteArray hash = QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex().left(16);
    return QString::fromLatin1(made + '-' + QByteArray::number(quint64(info.stx_ino)) + '-' + hash);
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

// Reads the complete lines a data file holds beyond *seenEnd, in large blocks under the shared lock,
// giving each line's offset, and moves *seenEnd after the last of them. A line still being written (or
// torn) waits for the append that ends it; a line longer than a block is read on by the next look (such
// a line comes only from an edited file).
template <typename EachLine>
void readNewLines(int fd, qint64* seenEnd, EachLine eachLine)
{
    const SharedLock lock(fd);
    for (;;) {
        const QByteArray block = readAt(fd, *seenEnd, 1 << 20);
        const qsizetype lastBreak = block.lastIndexOf('\n');
        if (lastBreak < 0)
            break;
        for (qsizetype at = 0; at <= lastBreak; at = block.indexOf('\n', at) + 1)
            eachLine(*seenEnd + at);
        *seenEnd += lastBreak + 1;
        if (block.size() < (1 << 20))
            break;
    }
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Writes the state file on a thread of its own, so that the next line goes to the server while the
// confirmation of the last one is synced to disk, and at most once a second. Only the newest waiting
// confirmation is written; one a kill leaves unwritten only has its lines sent again, and the database
// ignores them. A state that must be
// on disk before the caller goes on (a new data file's, before the file is held) is written at once, and
// no older one lands after it. The times file is synced on the same thread, when asked, at once.
class StateWriter final
{
public:
    explicit StateWriter(QString path)
        : m_path(std::move(path))
        , m_timesPath(timesFileOf(m_path))
        , m_thread([this] { run(); })
    {
    }
    ~StateWriter()
    {
        {
            const std::lock_guard lock(m_pendingMutex);
            m_ending = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    StateWriter(const StateWriter&) = delete;
    StateWriter& operator=(const StateWriter&) = delete;

    void post(const SyncState& state)
    {
        {
            const std::lock_guard lock(m_pendingMutex);
            m_pending = {state, ++m_generation};
        }
        m_wake.notify_one();
    }

    void syncTimes()
    {
        {
            const std::lock_guard lock(m_pendingMutex);
            m_syncTimes = true;
        }
        m_wake.notify_one();
    }

    [[nodiscard]] QString writeNow(const SyncState& state)
    {
        quint64 generation = 0;
        {
            const std::lock_guard lock(m_pendingMutex);
            generation = ++m_generation;
            m_pending.reset();
        }
        return write(state, generation);
    }

private:
    void run()
    {
        std::unique_lock lock(m_pendingMutex);
        for (;;) {
            // A state waits out the second since the one before (each takes the disk from the press and
            // the server for two syncs, and a steady stream of confirmations needs only the newest); the
            // times file's sync does not wait. What is still waiting when the engine ends is done first.
            m_wake.wait(lock, [this] { return m_ending || m_syncTimes || m_pending; });
            if (m_pending && !m_ending && !m_syncTimes && Clock::now() < m_stateDue)
                m_wake.wait_until(lock, m_stateDue, [this] { return m_ending || m_syncTimes; });
            const bool syncTimes = std::exchange(m_syncTimes, false);
            std::optional<std::pair<SyncState, quint64>> next;
            if (m_pending && (m_ending || Clock::now() >= m_stateDue))
                next.swap(m_pending);
            if (!syncTimes && !next) {
                if (m_ending)
                    return;
                continue;
            }
            lock.unlock();
            if (syncTimes) {
                if (const QString error = dbsync::syncTimes(m_timesPath); !error.isEmpty())
                    qWarning("sync: %s", qUtf8Printable(error));
            }
            if (next) {
                if (const QString error = write(next->first, next->second); !error.isEmpty())
                    qWarning("sync: %s", qUtf8Printable(error));
            }
            lock.lock();
            if (next)
                m_stateDue = Clock::now() + kEvery;
        }
    }

    QString write(const SyncState& state, quint64 generation)
    {
        const std::lock_guard lock(m_fileMutex);
        if (generation <= m_written)
            return {}; // a newer state is on disk already
        m_written = generation;
        return writeState(m_path, state);
    }

    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kEvery{1};
    const QString m_path;
    const QString m_timesPath;
    std::mutex m_pendingMutex;
    std::condition_variable m_wake;
    std::optional<std::pair<SyncState, quint64>> m_pending;
    Clock::time_point m_stateDue; // the next state is written no sooner
    bool m_syncTimes = false;
    quint64 m_generation = 0;
    bool m_ending = false;
    std::mutex m_fileMutex;
    quint64 m_written = 0;
    std::thread m_thread; // last: it starts once the rest is ready
};

} // namespace

// The data file's own watch, told once a writer has closed the file rather than at each write: the
// press closes it when its line is durable and its lock let go, so the engine neither wakes nor waits
// for the lock while a press is in its sync. Also told when the file is moved, removed or changed in
// its attributes.
class ClosedWriteWatch final : public QObject
{
public:
    ClosedWriteWatch(QObject* parent, std::function<void()> changed)
        : QObject(parent)
        , m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
        , m_changed(std::move(changed))
    {
        if (m_fd < 0)
            return;
        auto* notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &ClosedWriteWatch::read);
    }
    ~ClosedWriteWatch() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool isValid() const { return m_fd >= 0; }

    // Watches the file the path names now, unless it is the one watched already. A file moved away
    // stays watched until another takes its name.
    void watch(const QString& path)
    {
        struct stat named = {};
        const QByteArray name = QFile::encodeName(path);
        if (::stat(name.constData(), &named) != 0 || (m_watch >= 0 && sameFile(named, m_watched)))
            return;
        if (m_watch >= 0)
            ::inotify_rm_watch(m_fd, m_watch);
        m_watch =
            ::inotify_add_watch(m_fd, name.constData(), IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF);
        m_watched = named;
    }

private:
    void read()
    {
        alignas(inotify_event) char buffer[4096];
        bool changed = false;
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_IGNORED) && event->wd == m_watch)
                    m_watch = -1; // the file is gone: the next look watches what has its name
                changed = true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        if (changed)
            m_changed();
    }

    int m_fd = -1;
    int m_watch = -1;
    struct stat m_watched = {};
    std::function<void()> m_changed;
};

// Talks to the server, on a thread of its own: every call may wait up to the timeout. Work is handed to
// it under a lock rather than as an event: the thread wakes sooner. A sign-up's batch mostly does not
// come here at all: the worker sends it on the open connection and takes the answer itself
// (sendAtOnce, answer), and the connection is the link's again once it has.
class Link final
{
public:
    Link(const Settings& settings)
        : m_settings(settings)
    {
    }

    // Ends the thread: the job under way ends at once, and none waiting runs.
    ~Link()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_connection.interrupt();
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    void start()
    {
        m_thread = std::thread([this] {
            ::pthread_setname_np(::pthread_self(), "sync-link");
            for (;;) {
                std::function<void()> task;
                {
                    std::unique_lock lock(m_mutex);
                    m_wake.wait(lock, [this] { return m_ending || !m_tasks.empty(); });
                    if (m_ending)
                        return;
                    task = std::move(m_tasks.front());
                    m_tasks.pop_front();
                    m_busy = true;
                }
                task();
                const std::lock_guard lock(m_mutex);
                m_busy = false;
            }
        });
    }

    // Runs on the link's thread, after what was handed to it before.
    void post(std::function<void()> task)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_one();
    }

    // From the worker's thread: a batch of a few lines and nothing else sent at once, where the link is
    // idle with the statement prepared on its open connection, so the server has the batch without
    // waiting for this thread to wake. Whole: the worker waits for the answer itself (answer()); Part:
    // run(job, true) sends the rest and waits.
    Connection::Sent sendAtOnce(const Job& job)
    {
        if (job.count == 0 || job.count > kAtOnce || !job.notices.isEmpty() || job.status)
            return Connection::Sent::Not;
        const std::lock_guard lock(m_mutex);
        if (m_busy || m_awaited || !m_tasks.empty() || m_ending)
            return Connection::Sent::Not;
        const Call call = signUpCall(job);
        const Connection::Sent sent = m_connection.send(call.statement, call.parameters, call.binaryFrom);
        m_awaited = sent == Connection::Sent::Whole;
        return sent;
    }

    // For the worker waiting for the answer to a batch sent whole at once: the socket it comes on.
    int socket()
    {
        const std::lock_guard lock(m_mutex);
        return m_connection.socket();
    }

    // That answer, once it is all in; nullopt while the server is still at it. `again`: a pooler lost the
    // prepared statement and nothing ran, so the batch must go again, whole (run(job)).
    struct Answered
    {
        std::optional<Failure> failure;
        bool again = false;
    };
    std::optional<Answered> answer()
    {
        const std::lock_guard lock(m_mutex);
        std::optional<Connection::Answer> answer = m_connection.answer();
        if (!answer)
            return std::nullopt;
        m_awaited = false;
        if (m_connection.lostPrepared(*answer))
            return Answered{std::nullopt, true};
        return Answered{answer->failure, false};
    }

    // The worker gives up waiting: the connection goes, and with it whatever the server still sends.
    Failure giveUp()
    {
        const std::lock_guard lock(m_mutex);
        m_connection.close();
        m_awaited = false;
        return Failure{Failure::Kind::Unreachable, noAnswerWithin(m_settings.timeout)};
    }

    std::optional<Failure> run(const Job& job, bool sent = false)
    {
        if (sent) {
            const Call call = signUpCall(job);
            return m_connection.exec(call.statement, call.parameters, m_settings.timeout, call.binaryFrom, true).failure;
        }
        if (!m_connection.isOpen()) {
            if (std::optional<Failure> failure = m_connection.open(m_settings.conninfo, m_settings.timeout))
                return failure;
        }
        // Before the lines that name them; a text the database has already adds nothing.
        if (!job.notices.isEmpty()) {
            const Connection::Answer answer =
                m_connection.exec(kAddNotices, {job.noticeHashes, job.noticeBodies}, m_settings.timeout, 0);
            if (answer.failure)
                return answer.failure;
        }
        if (job.count > 0) {
            Call call = signUpCall(job);
            Connection::Answer answer =
                m_connection.exec(call.statement, call.parameters, m_settings.timeout, call.binaryFrom);
            if (answer.failure && (answer.state == "42883" || answer.state == "42501") && call.statement == kAddSignUp) {
                // undefined_function: a database made with an earlier file, which has add_signups alone;
                // insufficient_privilege: add_signup added to it without its grant.
                m_singleMissing = true;
                call = signUpCall(job);
                answer = m_connection.exec(call.statement, call.parameters, m_settings.timeout, call.binaryFrom);
            }
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
    // The call that adds the job's lines. One line (a sign-up, mostly) goes to add_signup with its values
    // as they are, which costs the server a fifth less than add_signups and its arrays; a batch, and any
    // line where the database has add_signups alone (made with an earlier file), to add_signups, its
    // arrays in binary form.
    struct Call
    {
        const char* statement;
        QList<std::optional<QByteArray>> parameters;
        qsizetype binaryFrom;
    };
    Call signUpCall(const Job& job) const
    {
        QList<std::optional<QByteArray>> parameters = {m_settings.kioskName.toUtf8(), job.fileId.toUtf8()};
        if (job.count == 1 && !m_singleMissing)
            return {kAddSignUp, parameters + job.line, -1};
        parameters << job.offsets << job.times << job.raws;
        for (const QByteArray& column : job.columns)
            parameters << column;
        return {kAddSignUps, parameters, 2};
    }

    static constexpr int kAtOnce = 50; // lines: a larger batch is handed over whole, to go while this
                                       // thread reads the next
    const Settings m_settings;
    Connection m_connection;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_ending = false;
    bool m_busy = false;    // a task is under way
    bool m_awaited = false; // the worker waits for the answer to a batch it sent at once
    std::atomic<bool> m_singleMissing = false; // the database has no add_signup
    std::thread m_thread; // last: it starts once the rest is ready
};

// Watches and reads the data file and keeps the state, on a thread of its own; never waits for the
// server, so a sign-up's time is noted the moment it appears, whatever the server does: the answer to
// a batch it sent itself comes to it as an event of the connection's socket.
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
        stopNotingNamedFile();
    }

    void start()
    {
        m_saved = readState(m_settings.stateFile).value_or(SyncState{});
        // The precise clock: a file's time, whether the kernel takes it from the clock of its ticks or
        // from this one, is never later than this for a file made before.
        ::clock_gettime(CLOCK_REALTIME, &m_watchingSince);
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &Worker::fileEvent);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &Worker::fileEvent);
        m_closedWrites = new ClosedWriteWatch(this, [this] { fileEvent(); });
        if (QFileInfo(m_folder).isDir())
            m_watcher->addPath(m_folder);
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &Worker::sendNext);
        // The status row's beat, which also looks at the file once more in case a change went unseen.
        m_beat = new QTimer(this);
        m_beat->setInterval(m_settings.statusEvery);
        connect(m_beat, &QTimer::timeout, this, [this] {
            // Due at each beat, whatever the clock says: it runs from the answer, a little after the beat.
            m_statusDue = true;
            if (!m_retry->isActive())
                fileEvent();
        });
        m_beat->start();
        m_timesDue = new QTimer(this);
        m_timesDue->setSingleShot(true);
        m_timesDue->setInterval(kTimesAfter);
        connect(m_timesDue, &QTimer::timeout, this, &Worker::timesDue);
        m_countSoon = new QTimer(this);
        m_countSoon->setSingleShot(true);
        m_countSoon->setInterval(kCountWhileSending);
        connect(m_countSoon, &QTimer::timeout, this, &Worker::publish);
        m_answerNotifier = new QSocketNotifier(QSocketNotifier::Read, this);
        connect(m_answerNotifier, &QSocketNotifier::activated, this, &Worker::answerCame);
        m_answerDue = new QTimer(this);
        m_answerDue->setSingleShot(true);
        connect(m_answerDue, &QTimer::timeout, this, &Worker::answerLate);
        follow(false);
        sendNext();
    }

    // The data file changed, or its folder did (the file was made, moved away, begun anew).
    void fileEvent()
    {
        watchFile();
        const qint64 before = m_seenLines;
        const QList<qint64> fresh = follow(true);
        const bool grew = m_seenLines > before;
        // A new sign-up does not wait out the pause after a failure, though it waits for a second after
        // the last attempt: a server that refuses at once would otherwise cost an attempt per sign-up,
        // on the cores and the disk the press needs.
        if (grew && m_retry->isActive()) {
            const qint64 since = m_lastAttempt.isValid() ? m_lastAttempt.elapsed() : kRetryOnSignUp.count();
            const qint64 left = kRetryOnSignUp.count() - since;
            if (left <= 0)
                m_retry->stop();
            else if (m_retry->remainingTime() > left)
                m_retry->start(std::chrono::milliseconds(left));
        }
        if (!m_retry->isActive())
            send(false); // the look was just taken
        // Noted once the batch is on its way.
        keepTimes(fresh);
        if (grew)
            publishCount();
    }

    // The count of lines seen, once it grew. With the new lines on their way, it goes with their answer,
    // so that those told of it (the staff line's thread) do not take the cores the answer needs; after a
    // few milliseconds without one (a slow or hanging server), on its own.
    void publishCount()
    {
        if (!m_sending)
            publish();
        else if (!m_countSoon->isActive())
            m_countSoon->start();
    }

    // The times of lines just noted in the file being sent, so that a kill or a restart keeps them:
    // written a few milliseconds on, leaving out the lines the database confirmed meanwhile (their rows
    // have their times), so a sign-up sent and confirmed at once costs the disk nothing. Synced then, on
    // the state writer's thread: between two presses, so that the next press's own sync does not carry
    // them on ext4 (it writes out the data of every file whose size it commits), and a few milliseconds
    // after the press, so that it meets neither the press's commit on the disk nor, mostly, the
    // server's. Synced the moment the press ended, they slowed presses 20 ms apart by a tenth.
    void keepTimes(const QList<qint64>& fresh)
    {
        if (fresh.isEmpty())
            return;
        if (m_dueFileId != m_fileId)
            writeDueTimes();
        m_dueFileId = m_fileId;
        for (const qint64 offset : fresh)
            m_dueTimes.insert(offset, m_times.value(offset));
        if (!m_timesDue->isActive())
            m_timesDue->start();
    }

    void writeDueTimes()
    {
        QList<qint64> due;
        for (auto time = m_dueTimes.cbegin(); time != m_dueTimes.cend(); ++time) {
            if (m_dueFileId != m_saved.fileId || time.key() >= m_saved.confirmedOffset)
                due << time.key();
        }
        std::sort(due.begin(), due.end());
        writeTimes(m_dueFileId, due, m_dueTimes);
        m_dueTimes.clear();
    }

    // Written at once; synced a few milliseconds on (timesDue).
    void writeTimes(const QString& fileId, const QList<qint64>& fresh, const Times& times)
    {
        if (fresh.isEmpty())
            return;
        if (const QString error = appendTimes(m_timesFile, fileId, fresh, times); !error.isEmpty()) {
            qWarning("sync: %s", qUtf8Printable(error));
            return;
        }
        m_timesWritten = true;
        m_timesUnsynced = true;
        if (!m_timesDue->isActive())
            m_timesDue->start();
    }

    void timesDue()
    {
        m_timesDue->stop();
        writeDueTimes();
        if (std::exchange(m_timesUnsynced, false))
            m_stateWriter.syncTimes();
    }

    // No job goes out after this, and the one under way ends at once.
    void stop()
    {
        m_stopping = true;
        m_retry->stop();
        m_beat->stop();
        m_countSoon->stop();
        if (m_sentAtOnce)
            stopAwaiting(); // before the link closes the socket
        m_link->interrupt();
        timesDue(); // the sync done before the writer ends
    }

private:
    void watchFile()
    {
        if (!m_watcher->directories().contains(m_folder) && QFileInfo(m_folder).isDir())
            m_watcher->addPath(m_folder);
        if (m_closedWrites->isValid())
            m_closedWrites->watch(m_settings.dataFile);
        else if (!m_watcher->files().contains(m_settings.dataFile) && QFileInfo::exists(m_settings.dataFile))
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
            if (m_saved.confirmedOffset < m_seenEnd || m_sending) {
                // The file the path names meanwhile has its sign-ups' times noted, and is held too, in
                // its turn: it may be moved away in its turn before this one is all sent (a server out of
                // reach for two events).
                noteTimesOfNamedFile(noteTimes);
                holdNamedFile();
                return takeFresh();
            }
            m_fresh.clear();
            ::close(m_fd);
            m_fd = -1;
            m_fromHeld = false;
            letGoOfWaiting();
            if (m_namedFd >= 0)
                noteTimesOfNamedFile(noteTimes); // up to the moment it becomes the file being sent
            stopNotingNamedFile();
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
            // Then the files that were named by the path while an earlier one was being sent, oldest first.
            if (m_fd < 0) {
                const QStringList waiting = waitingFiles();
                if (!waiting.isEmpty()) {
                    m_fd = ::open(QFile::encodeName(waiting.constFirst()).constData(), O_RDONLY | O_CLOEXEC);
                    if (m_fd >= 0) {
                        m_waitingFile = waiting.constFirst();
                        m_fromHeld = !isStillNamed();
                    }
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
            // What is in the file already was written before this sync saw it, unless the file was made
            // since: its times are not known, unless the times file has them.
            noteTimes = noteTimes && madeWhileWatched(m_fd) && !notedAsNamed(m_fd);
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

    // A waiting link's place in the line (1 is the first); 0 for another name.
    qint64 waitingNumber(const QString& file) const
    {
        const QString name = QFileInfo(file).fileName();
        const QString prefix = QFileInfo(m_waitingPrefix).fileName();
        if (!name.startsWith(prefix) || !name.endsWith(QStringLiteral(".csv")))
            return 0;
        bool ok = false;
        const qint64 number = name.mid(prefix.size(), name.size() - prefix.size() - 4).toLongLong(&ok);
        return ok && number > 0 ? number : 0;
    }

    // The links to files waiting their turn, oldest first.
    QStringList waitingFiles() const
    {
        const QFileInfo prefix(m_waitingPrefix);
        QList<std::pair<qint64, QString>> numbered;
        const QStringList names =
            QDir(prefix.absolutePath()).entryList({prefix.fileName() + QStringLiteral("*.csv")}, QDir::Files);
        for (const QString& name : names) {
            const QString file = prefix.absolutePath() + u'/' + name;
            if (const qint64 number = waitingNumber(file); number > 0)
                numbered.append({number, file});
        }
        std::sort(numbered.begin(), numbered.end());
        QStringList files;
        for (const auto& [number, file] : numbered)
            files << file;
        return files;
    }

    // Links the file whose times are noted (the one the path names), unless it is the one being sent or
    // already waits. Linked through its descriptor, so the link is of that very file, whatever the path
    // names by then.
    void holdNamedFile()
    {
        struct stat named = {};
        struct stat other = {};
        if (m_namedHeld || m_namedFd < 0 || ::fstat(m_namedFd, &named) != 0)
            return;
        const QStringList waiting = waitingFiles();
        m_namedHeld = ::fstat(m_fd, &other) == 0 && sameFile(other, named);
        for (const QString& file : waiting)
            m_namedHeld =
                m_namedHeld || (::stat(QFile::encodeName(file).constData(), &other) == 0 && sameFile(other, named));
        if (m_namedHeld)
            return;
        const QByteArray fresh = QFile::encodeName(m_waitingPrefix + QStringLiteral("new"));
        ::unlink(fresh.constData());
        const QByteArray handle = "/proc/self/fd/" + QByteArray::number(m_namedFd);
        if (::linkat(AT_FDCWD, handle.constData(), AT_FDCWD, fresh.constData(), AT_SYMLINK_FOLLOW) != 0)
            return; // on another file system
        const qint64 number = waiting.isEmpty() ? 1 : waitingNumber(waiting.constLast()) + 1;
        const QByteArray name = QFile::encodeName(m_waitingPrefix + QString::number(number) + QStringLiteral(".csv"));
        if (::rename(fresh.constData(), name.constData()) != 0) {
            ::unlink(fresh.constData());
            return;
        }
        platform::syncFolder(QFileInfo(m_waitingPrefix).absolutePath());
        m_namedHeld = true;
    }

    // Meanwhile the sign-ups go on into the file the path names: their times are noted as they come, as
    // for the file being sent, and found in the times file when that file's turn comes.
    void noteTimesOfNamedFile(bool noteTimes)
    {
        struct stat named = {};
        struct stat watched = {};
        if (::stat(QFile::encodeName(m_settings.dataFile).constData(), &named) != 0)
            return;
        if (m_namedFd >= 0 && (::fstat(m_namedFd, &watched) != 0 || !sameFile(watched, named)))
            stopNotingNamedFile(); // moved away in its turn: the next one
        if (m_namedFd < 0) {
            m_namedFd = ::open(QFile::encodeName(m_settings.dataFile).constData(), O_RDONLY | O_CLOEXEC);
            if (m_namedFd < 0)
                return;
            noteTimes = noteTimes && madeWhileWatched(m_namedFd); // else written before it was watched
            struct stat opened = {};
            if (::fstat(m_namedFd, &opened) == 0)
                m_notedAsNamed.append({quint64(opened.st_dev), quint64(opened.st_ino)});
        }
        QList<qint64> fresh;
        Times times;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        readNewLines(m_namedFd, &m_namedSeenEnd, [&](qint64 offset) {
            if (noteTimes) {
                fresh << offset;
                times.insert(offset, now);
            }
        });
        if (m_namedSeenEnd > 0 && m_namedFileId.isEmpty())
            m_namedFileId = fileIdentity(m_namedFd);
        writeTimes(m_namedFileId, fresh, times);
    }

    void stopNotingNamedFile()
    {
        if (m_namedFd >= 0)
            ::close(m_namedFd);
        m_namedFd = -1;
        m_namedFileId.clear();
        m_namedSeenEnd = 0;
        m_namedHeld = false;
    }

    // The file came from the waiting links: once it is held (or done with), its link goes.
    void letGoOfWaiting()
    {
        if (m_waitingFile.isEmpty())
            return;
        ::unlink(QFile::encodeName(m_waitingFile).constData());
        platform::syncFolder(QFileInfo(m_waitingFile).absolutePath());
        m_waitingFile.clear();
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
        if (::stat(heldName.constData(), &held) == 0 && sameFile(held, mine))
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

    // Whether the file was made after this sync began to watch for it: then each line in it appeared
    // while it watched, and the time it first looks at the file is the second of those lines, whichever
    // came first, the look or the line. A file made before (the one there at start, one moved back
    // into place) has lines whose times are not known.
    bool madeWhileWatched(int fd) const
    {
        struct statx info = {};
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &info) != 0 || !(info.stx_mask & STATX_BTIME))
            return false;
        return std::pair(qint64(info.stx_btime.tv_sec), qint64(info.stx_btime.tv_nsec))
            >= std::pair(qint64(m_watchingSince.tv_sec), qint64(m_watchingSince.tv_nsec));
    }

    // Whether the file's lines had their times noted while it was the one the path named: they are in
    // the times file, and its first look as the file being sent finds none new.
    bool notedAsNamed(int fd) const
    {
        struct stat file = {};
        return ::fstat(fd, &file) == 0 && m_notedAsNamed.contains({quint64(file.st_dev), quint64(file.st_ino)});
    }

    bool isStillNamed() const
    {
        struct stat held = {};
        struct stat named = {};
        if (::fstat(m_fd, &held) != 0)
            return false;
        if (::stat(QFile::encodeName(m_settings.dataFile).constData(), &named) != 0)
            return false;
        return sameFile(held, named);
    }

    // Reads the complete lines added since the last look, in large blocks, under the shared lock.
    void scan(bool noteTimes)
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        readNewLines(m_fd, &m_seenEnd, [&](qint64 offset) {
            if (noteTimes) {
                m_times.insert(offset, now);
                m_fresh << offset;
            }
            ++m_seenLines;
        });
        if (m_fileId.isEmpty() && m_seenLines > 0)
            identify();
    }

    // The file's identity (fileIdentity), and whether the state speaks of it.
    void identify()
    {
        m_fileId = fileIdentity(m_fd);

        const bool known = m_saved.fileId == m_fileId && m_saved.target == m_status.account && confirmedIsLineStart();
        if (m_fromHeld && m_waitingFile.isEmpty() && !known) {
            m_staleHeld = true;
            return;
        }
        if (!known) {
            // Written at once, before the file is held: should it be moved away before anything of it is
            // confirmed, the held file is then still known for what it is after a restart.
            m_saved = SyncState{m_status.account, m_fileId};
            if (const QString error = m_stateWriter.writeNow(m_saved); !error.isEmpty())
                qWarning("sync: %s", qUtf8Printable(error));
        }
        if (!m_fromHeld || !m_waitingFile.isEmpty())
            hold();
        letGoOfWaiting();
        // The times seen before a restart, for what is still to go; and the ones just noted.
        Times times = readTimes(m_timesFile, m_fileId, m_saved.confirmedOffset);
        times.insert(m_times);
        m_times = times;
        m_timesWritten = !m_times.isEmpty();
    }

    // A confirmation that does not fall on a line start belongs to another file (or none): start over.
    bool confirmedIsLineStart() const
    {
        if (m_saved.confirmedOffset == 0)
            return true;
        return m_saved.confirmedOffset <= m_seenEnd && readAt(m_fd, m_saved.confirmedOffset - 1, 1) == "\n";
    }

    // What the state becomes once the batch is confirmed.
    static SyncState confirming(SyncState state, const Job& job)
    {
        state.confirmedOffset = job.endOffset;
        state.confirmedLines += job.count;
        state.asideLines = job.asideLines;
        state.lastAsideLine = job.lastAsideLine;
        state.lastSignUp = job.lastSignUp;
        return state;
    }

    // The next lines after what `from` confirms, as add_signups takes them; the notice texts the batch
    // on its way carries are left to it.
    Job nextBatch(const SyncState& from, const QList<QByteArray>& noticesOnTheirWay = {})
    {
        Job job;
        job.fileId = m_fileId;
        job.startOffset = from.confirmedOffset;
        job.endOffset = from.confirmedOffset;
        job.asideLines = from.asideLines;
        job.lastAsideLine = from.lastAsideLine;
        job.lastSignUp = from.lastSignUp;
        if (m_fd < 0 || m_fileId.isEmpty() || from.confirmedOffset >= m_seenEnd)
            return job;
        // About what the batch's lines take (a sign-up's line is some 200 bytes), not all there is.
        const qint64 available = m_seenEnd - from.confirmedOffset;
        qint64 size = std::min({available, m_settings.batchBytes, qint64(m_batchLines) * 512});
        QByteArray block = readAt(m_fd, from.confirmedOffset, size);
        // A line longer than that goes alone: read on to its end, which the last look found.
        while (!block.contains('\n') && block.size() < available) {
            size = std::min(available, size * 2);
            block = readAt(m_fd, from.confirmedOffset, size);
        }

        // Read after the data file, so that every line read has its evidence there (core/Consent.h).
        // It only grows, so the same size and time is the same text: a backlog parses it once.
        struct stat evidenceFile = {};
        const std::pair<qint64, qint64> evidenceSeen =
            ::stat(m_evidencePath.constData(), &evidenceFile) == 0
            ? std::pair(qint64(evidenceFile.st_size),
                        qint64(evidenceFile.st_mtim.tv_sec) * 1000000000 + evidenceFile.st_mtim.tv_nsec)
            : std::pair(qint64(-1), qint64(0));
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

        using Of = ArrayParameter::Of;
        ArrayParameter offsets(Of::Bigint), times(Of::Bigint), raws(Of::Text);
        // The 14 values, then the evidence's time and notice, and the export's country code and phone.
        std::vector<ArrayParameter> columns(18, ArrayParameter(Of::Text));
        QList<std::optional<QByteArray>> noticeHashes, noticeBodies;
        qint64 lineNumber = from.confirmedLines;
        QList<std::optional<QByteArray>> first; // the first line's values, for a batch of one (add_signup)
        for (qsizetype at = 0; job.count < m_batchLines;) {
            const qsizetype end = block.indexOf('\n', at);
            if (end < 0)
                break;
            const qint64 offset = from.confirmedOffset + at;
            const QByteArrayView line(block.constData() + at, end - at);
            ++lineNumber;
            offsets.add(offset);
            const bool isFirst = job.count == 0;
            const auto time = m_times.constFind(offset);
            if (time != m_times.cend()) {
                times.add(*time);
                job.lastSignUp = std::max(job.lastSignUp, *time);
            } else {
                times.addNull();
            }
            if (isFirst)
                first = {QByteArray::number(offset),
                         time != m_times.cend() ? std::optional(QByteArray::number(*time)) : std::nullopt};
            if (const std::optional<RecordValues> values = recordValues(line)) {
                for (size_t i = 0; i < values->size(); ++i)
                    columns[i].add(QByteArrayView((*values)[i]));
                raws.addNull();
                const std::optional<consent::Evidence> found = consent::evidenceFor(evidence, offset, line);
                if (found) {
                    columns[14].add(QByteArrayView(found->signedUp));
                    columns[15].add(QByteArrayView(found->noticeSha256));
                } else {
                    columns[14].addNull();
                    columns[15].addNull();
                }
                // As the export has them, from the export's own rules.
                const QByteArray& cell = (*values)[kCellColumn];
                const exporting::CodeAndPhone exported = exporting::codeAndPhoneOfUtf8((*values)[kCountryColumn], cell);
                columns[16].add(exported.code);
                columns[17].add(exported.e164.isEmpty() ? QByteArrayView(cell) : QByteArrayView(exported.e164));
                if (isFirst) {
                    first << std::nullopt;
                    for (const QByteArray& value : *values)
                        first << value;
                    first << (found ? std::optional(found->signedUp) : std::nullopt)
                          << (found ? std::optional(found->noticeSha256) : std::nullopt) << exported.code.toByteArray()
                          << (exported.e164.isEmpty() ? cell : exported.e164);
                }
                if (found && !m_noticesSent.contains(found->noticeSha256)
                    && !noticesOnTheirWay.contains(found->noticeSha256) && !job.notices.contains(found->noticeSha256)) {
                    job.notices << found->noticeSha256;
                    // A text lost or changed beside the data file goes without: its hash still names it.
                    QFile text(consent::noticeFilePath(m_settings.dataFile, found->noticeSha256));
                    const QByteArray body = text.open(QIODevice::ReadOnly) ? text.readAll() : QByteArray();
                    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() == found->noticeSha256) {
                        noticeHashes << found->noticeSha256;
                        noticeBodies << body.toHex();
                    }
                }
            } else {
                // Kept as it is, beside the sign-ups, and told to the staff line; the lines after it go on.
                for (ArrayParameter& column : columns)
                    column.addNull();
                const QByteArray hex = line.toByteArray().toHex();
                raws.add(QByteArrayView(hex));
                if (isFirst) {
                    first << hex;
                    for (size_t i = 0; i < columns.size(); ++i)
                        first << std::nullopt;
                }
                ++job.asideLines;
                job.lastAsideLine = lineNumber;
            }
            ++job.count;
            job.endOffset = offset + (end - at) + 1;
            at = end + 1;
        }
        if (job.count == 1)
            job.line = first;
        job.offsets = offsets.bytes();
        job.times = times.bytes();
        for (const ArrayParameter& column : columns)
            job.columns << column.bytes();
        job.noticeHashes = textArray(noticeHashes);
        job.noticeBodies = textArray(noticeBodies);
        job.raws = raws.bytes();
        return job;
    }

    void sendNext() { send(true); }

    // The next batch, after a look at the file first where `look`.
    void send(bool look)
    {
        if (m_sending || m_stopping)
            return;
        // Lines this look finds first have their times written too, once the batch is on its way.
        const QList<qint64> fresh = look ? follow(true) : QList<qint64>();
        // The batch read while the one before was at the server, if it still follows what is confirmed.
        std::optional<Job> prepared = std::exchange(m_prepared, std::nullopt);
        Job job = prepared && prepared->fileId == m_fileId && prepared->fileId == m_saved.fileId
                && prepared->startOffset == m_saved.confirmedOffset
            ? std::move(*prepared)
            : nextBatch(m_saved);
        job.status =
            m_statusDue || !m_statusClock.isValid() || m_statusClock.hasExpired(m_settings.statusEvery.count());
        if (job.count == 0 && !job.status) {
            keepTimes(fresh);
            publish();
            return;
        }
        job.localCount = m_seenLines;
        job.waiting = m_seenLines - m_saved.confirmedLines - job.count;
        m_sending = true;
        m_lastAttempt.start();
        ++m_status.attempts;
        switch (m_link->sendAtOnce(job)) {
        case Connection::Sent::Whole:
            awaitAnswer(job);
            break;
        case Connection::Sent::Part:
            hand(job, true);
            break;
        case Connection::Sent::Not:
            hand(job, false);
            break;
        }
        keepTimes(fresh);
        // A backlog goes as fast as the slower of this thread and the server, not as both in turn.
        if (job.count > 0 && job.fileId == m_saved.fileId) {
            if (Job next = nextBatch(confirming(m_saved, job), job.notices); next.count > 0)
                m_prepared = std::move(next);
        }
    }

    // To the link's thread, which sends the job (the rest of it, where `sent`) and waits for its answer.
    void hand(const Job& job, bool sent)
    {
        Link* link = m_link;
        link->post([this, link, job, sent] {
            const std::optional<Failure> failure = link->run(job, sent);
            QMetaObject::invokeMethod(this, [this, job, failure] { done(job, failure); });
        });
    }

    // The answer to a batch sent at once comes to this thread, which is told by the socket: no other
    // thread wakes for it, and its rows are told the moment they are in.
    void awaitAnswer(const Job& job)
    {
        m_sentAtOnce = job;
        m_answerNotifier->setSocket(m_link->socket());
        m_answerNotifier->setEnabled(true);
        m_answerDue->start(m_settings.timeout);
    }

    void answerCame()
    {
        const std::optional<Link::Answered> answered = m_link->answer();
        if (!answered)
            return; // more to come
        const Job job = stopAwaiting();
        if (answered->again)
            hand(job, false);
        else
            done(job, answered->failure);
    }

    void answerLate()
    {
        const Job job = stopAwaiting();
        done(job, m_link->giveUp()); // after the socket is no longer watched: it closes
    }

    Job stopAwaiting()
    {
        m_answerNotifier->setEnabled(false);
        m_answerDue->stop();
        return *std::exchange(m_sentAtOnce, std::nullopt);
    }

    void done(const Job& job, const std::optional<Failure>& failure)
    {
        m_sending = false;
        if (m_stopping)
            return;
        if (failure) {
            m_prepared.reset();
            m_batchLines = kFirstBatch;
            const Status::State state =
                failure->kind == Failure::Kind::Refused ? Status::State::Refused : Status::State::Waiting;
            // Once for each new reason, for the system's log (journalctl), not at each retry.
            if (state != m_status.state || failure->reason != m_status.reason) {
                if (state == Status::State::Refused)
                    qWarning("sync: refused for %s: %s", qUtf8Printable(m_status.account),
                             qUtf8Printable(failure->reason));
                else
                    qWarning("sync: cannot reach %s: %s", qUtf8Printable(m_status.host),
                             qUtf8Printable(failure->reason));
            }
            m_status.state = state;
            m_status.reason = failure->reason;
            if (!m_status.failingSince.isValid())
                m_status.failingSince = QDateTime::currentDateTime();
            const double jitter = 0.75 + 0.5 * QRandomGenerator::global()->generateDouble();
            m_retry->start(std::chrono::milliseconds(qint64(double(m_backoff.count()) * jitter)));
            m_backoff = std::min(m_backoff * 2, m_settings.lastRetry);
            publish();
            return;
        }
        if (job.status) {
            m_statusClock.start();
            m_statusDue = false;
        }
        for (const QByteArray& notice : job.notices)
            m_noticesSent.insert(notice);
        const bool confirmed = job.count > 0 && job.fileId == m_saved.fileId;
        if (confirmed)
            m_saved = confirming(m_saved, job);
        if (m_status.failingSince.isValid())
            qInfo("sync: %s reached again", qUtf8Printable(m_status.host));
        m_status.state = Status::State::Sent;
        m_status.reason.clear();
        m_status.failingSince = QDateTime();
        m_backoff = m_settings.firstRetry;
        // Small at first, so that a batch gets through on a link that keeps failing; then larger.
        m_batchLines = std::min(m_batchLines * 4, m_settings.batchLines);
        // Told first: the rows are in the database, whatever happens to the state file.
        publish();
        if (confirmed) {
            // Should the write fail or a kill come first, the lines go again after a restart, and the
            // database ignores them.
            m_stateWriter.post(m_saved);
            m_times.removeIf([&](const auto& time) { return time.key() < job.endOffset; });
            // Emptied now and then rather than after each line: what is confirmed in it is skipped on reading.
            // Not while files still to come may have theirs in it.
            if (m_times.isEmpty() && m_timesWritten && QFileInfo(m_timesFile).size() > kTimesKept && isStillNamed()
                && waitingFiles().isEmpty()) {
                if (const QString error = clearTimes(m_timesFile); error.isEmpty())
                    m_timesWritten = false;
            }
        }
        sendNext();
    }

    void publish()
    {
        m_countSoon->stop();
        m_status.lines = m_seenLines;
        m_status.sent = m_fileId == m_saved.fileId ? m_saved.confirmedLines : 0;
        m_status.asideLines = m_saved.asideLines;
        m_status.lastAsideLine = m_saved.lastAsideLine;
        m_engine->publish(m_status);
    }

    Engine* m_engine;
    const Settings m_settings;
    const QString m_timesFile;
    const QString m_folder = QFileInfo(m_settings.dataFile).absolutePath(); // the data file's
    Link* m_link;
    QFileSystemWatcher* m_watcher = nullptr; // the folder (and the file, where inotify is not to be had)
    ClosedWriteWatch* m_closedWrites = nullptr;
    QTimer* m_retry = nullptr;
    QTimer* m_beat = nullptr;
    QTimer* m_timesDue = nullptr;  // the times noted to be written, and the times file's sync
    QTimer* m_countSoon = nullptr; // the count of lines seen, while a batch is at the server
    QSocketNotifier* m_answerNotifier = nullptr; // the answer to a batch sent at once
    QTimer* m_answerDue = nullptr;               // and how long it may take
    std::optional<Job> m_sentAtOnce;              // that batch
    static constexpr std::chrono::milliseconds kTimesAfter{5};
    static constexpr std::chrono::milliseconds kCountWhileSending{5};
    QElapsedTimer m_statusClock; // since the status row last went in
    bool m_statusDue = false;
    std::chrono::milliseconds m_backoff = m_settings.firstRetry;
    static constexpr std::chrono::milliseconds kRetryOnSignUp{1000};
    QElapsedTimer m_lastAttempt;
    static constexpr int kFirstBatch = 50;
    int m_batchLines = std::min(kFirstBatch, m_settings.batchLines);
    QSet<QByteArray> m_noticesSent; // in the database: the notice texts of lines it confirmed
    std::optional<consent::EvidenceByOffset> m_evidence;
    const QByteArray m_evidencePath = QFile::encodeName(consent::evidenceFilePath(m_settings.dataFile));
    std::pair<qint64, qint64> m_evidenceSeen; // its size and time (ns) when it was read

    const QString m_heldFile = heldFileOf(m_settings.stateFile);
    const QString m_waitingPrefix = besideState(m_settings.stateFile, QLatin1String("-waiting-"));
    QString m_waitingFile;      // the waiting link the open file came from, until it is held
    bool m_checkedHeld = false; // at start
    bool m_fromHeld = false;    // m_fd was opened through the held name: a file moved away
    struct timespec m_watchingSince = {};
    bool m_staleHeld = false;
    int m_fd = -1;        // the data file being sent
    QString m_fileId;     // its identity, once it has a first line
    qint64 m_seenEnd = 0; // after its last complete line
    qint64 m_seenLines = 0;
    QList<qint64> m_fresh; // lines noted since the last look, whose times are still to be written
    Times m_times;         // known times of lines not yet confirmed
    bool m_timesWritten = false;
    bool m_timesUnsynced = false;
    QString m_dueFileId; // the file whose lines' times are still to be written
    Times m_dueTimes;    // and those times
    int m_namedFd = -1; // while the file being sent is not the one the path names: that one
    QString m_namedFileId;
    qint64 m_namedSeenEnd = 0;
    bool m_namedHeld = false;                       // it has its waiting link (or is the file being sent)
    QList<std::pair<quint64, quint64>> m_notedAsNamed; // the files (device, inode) so watched
    static constexpr qint64 kTimesKept = 64 * 1024; // about a thousand lines
    SyncState m_saved;                              // as in the state file, or on its way there
    StateWriter m_stateWriter{m_settings.stateFile};
    bool m_sending = false;
    std::optional<Job> m_prepared; // the batch after the one on its way
    bool m_stopping = false;
    Status m_status;
};

Engine::Engine(Settings settings, QString host, QString account)
    : m_settings(std::move(settings))
{
    m_status.host = host;
    m_status.account = account;
    m_link = new Link(m_settings);
    m_worker = new Worker(this, m_settings, host, account, m_link);
    // The worker lives on the file thread from the start: a wake() before start() waits there.
    std::promise<QThread*> running;
    m_fileThread = std::thread([this, &running] {
        ::pthread_setname_np(::pthread_self(), "sync-file");
        QEventLoop loop; // Qt takes this thread as its own and gives it an event dispatcher
        m_fileLoop = &loop;
        running.set_value(QThread::currentThread());
        loop.exec();
    });
    m_worker->moveToThread(running.get_future().get());
}

Engine::~Engine()
{
    // The worker sends nothing more and the link's wait ends at once. The link goes first: a job it
    // was running still reports to the worker. The worker is deleted on its own thread, with any report
    // still queued for it, and the thread ends there, all of it before the join returns.
    Worker* worker = m_worker;
    if (m_started) {
        QMetaObject::invokeMethod(
            worker, [worker] { worker->stop(); }, Qt::BlockingQueuedConnection);
    }
    delete m_link;
    QMetaObject::invokeMethod(
        worker,
        [worker, loop = m_fileLoop] {
            delete worker;
            loop->quit();
        },
        Qt::BlockingQueuedConnection);
    m_fileThread.join();
}

void Engine::start()
{
    m_started = true;
    m_link->start();
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
