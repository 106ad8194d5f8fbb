// Cost of saving one sign-up line durably, against a bare write + fdatasync baseline.
//
// All files live in one QTemporaryDir, i.e. under QDir::tempPath() ($TMPDIR, else /tmp), so the
// figures are for that disk. Every iteration waits for the disk, hence real time is reported.
//
// To add a benchmark: write a BM_ function that takes its files from BenchFiles::instance()
// (freshPath() or bigFile()) and register it with ->Apply(asDiskBound).

#include "platform/Files.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kLineLength = 150;
constexpr int kBigFileLines = 1'000'000;

// One CSV line like a real sign-up, exactly kLineLength ASCII bytes without its "\n", so every
// benchmark writes the same 151 bytes per iteration.
const QString& sampleLine()
{
    static const QString line = [] {
        QString text = QStringLiteral("2024-05-18 14:32:07,Alexandra,Montgomery-Whitfield,"
                                      "alexandra.montgomery@example.org,+44 20 7946 0958,Newsletter,True,");
        while (text.size() < kLineLength)
            text += u'x';
        text.truncate(kLineLength);
        return text;
    }();
    return line;
}

// Files shared by all benchmarks. The big files are made once per process, outside any timing,
// and reused across repetitions (a few thousand extra lines do not change a million-line file).
class BenchFiles final {
public:
    static BenchFiles& instance()
    {
        static BenchFiles files;
        return files;
    }

    bool isValid() const { return m_dir.isValid(); }

    // A path in the folder where no file exists yet.
    QString freshPath() { return m_dir.filePath(QStringLiteral("fresh-%1.csv").arg(++m_counter)); }

    // A synced file of `lines` sample lines; an empty path with `error` set on failure.
    QString bigFile(int lines, QString* error)
    {
        if (const auto found = m_bigFiles.find(lines); found != m_bigFiles.end())
            return found->second;
        const QString path = m_dir.filePath(QStringLiteral("big-%1.csv").arg(lines));
        if (*error = makeFile(path, lines); !error->isEmpty())
            return QString();
        m_bigFiles.emplace(lines, path);
        return path;
    }

private:
    BenchFiles() = default;

    static QString makeFile(const QString& path, int lines)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return file.errorString();
        const QByteArray row = sampleLine().toUtf8() + '\n';
        QByteArray block;
        for (int i = 0; i < 10'000; ++i)
            block += row;
        for (int written = 0; written < lines; written += 10'000) {
            const QByteArray chunk = lines - written >= 10'000 ? block : row.repeated(lines - written);
            if (file.write(chunk) != chunk.size())
                return file.errorString();
        }
        // Synced here so the timed appends do not pay for flushing this file.
        if (!file.flush())
            return file.errorString();
        if (::fsync(file.handle()) != 0)
            return qt_error_string(errno);
        file.close();
        if (file.error() != QFileDevice::NoError)
            return file.errorString();
        return QString();
    }

    QTemporaryDir m_dir;
    std::map<int, QString> m_bigFiles;
    int m_counter = 0;
};

void skip(benchmark::State& state, const QString& why)
{
    state.SkipWithError(why.toStdString().c_str());
}

void asDiskBound(benchmark::internal::Benchmark* bench)
{
    bench->UseRealTime()->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

// The least any durable append can cost: one write and one fdatasync on an already named file.
void BM_BareWriteAndSync(benchmark::State& state)
{
    BenchFiles& files = BenchFiles::instance();
    if (!files.isValid())
        return skip(state, QStringLiteral("no temporary folder"));
    const QByteArray name = QFile::encodeName(files.freshPath());
    const QByteArray bytes = sampleLine().toUtf8() + '\n';

    for (auto _ : state) {
        const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return skip(state, QStringLiteral("open: ") + qt_error_string(errno));
        const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size()
                        && ::fdatasync(fd) == 0;
        const int error = errno;
        if (::close(fd) != 0 || !ok)
            return skip(state, QStringLiteral("write/sync/close: ") + qt_error_string(ok ? errno : error));
    }
}

// Arg 0: a new file that grows during the run; otherwise a file of that many lines.
void BM_AppendLineDurably(benchmark::State& state)
{
    BenchFiles& files = BenchFiles::instance();
    if (!files.isValid())
        return skip(state, QStringLiteral("no temporary folder"));
    const int lines = int(state.range(0));
    QString error;
    const QString path = lines == 0 ? files.freshPath() : files.bigFile(lines, &error);
    if (!error.isEmpty())
        return skip(state, QStringLiteral("cannot make the big file: ") + error);
    const QString& line = sampleLine();

    for (auto _ : state) {
        if (error = platform::appendLineDurably(path, line); !error.isEmpty())
            return skip(state, error);
    }
}

} // namespace

BENCHMARK(BM_BareWriteAndSync)->Apply(asDiskBound);
BENCHMARK(BM_AppendLineDurably)->Arg(0)->Arg(kBigFileLines)->Apply(asDiskBound);

BENCHMARK_MAIN();
