// Cost of one press of Sign Me Up once the checks have passed: build the line, append it durably.
// Beside it, the least a durable append of the same bytes can cost, so the two are compared in one run.
// And the count of sign-ups the Preferences window shows as it opens, beside a bare read of the file.
//
// Files live in a QTemporaryDir under $TMPDIR (else /tmp): point it at the disk the kiosk writes to.

#include "bench/SampleEntry.h"
#include "core/Files.h"
#include "core/SignUpRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBigFileLines = 1'000'000;

class PressFiles final
{
public:
    static PressFiles& instance()
    {
        static PressFiles files;
        return files;
    }

    bool isValid() const { return m_dir.isValid(); }
    QString freshPath() { return m_dir.filePath(QStringLiteral("press-%1.csv").arg(++m_counter)); }

    // Made once per process, outside any timing, and synced so the timed appends do not flush it.
    QString bigFile(QString* error)
    {
        if (m_big.isEmpty())
            m_big = makeBig(QStringLiteral("press-big.csv"), error);
        return m_big;
    }

    // The same, for counting: a file of its own, which no press makes longer.
    QString countFile(QString* error)
    {
        if (m_count.isEmpty())
            m_count = makeBig(QStringLiteral("count-big.csv"), error);
        return m_count;
    }

private:
    PressFiles() = default;

    QString makeBig(const QString& name, QString* error)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            *error = file.errorString();
            return {};
        }
        const QByteArray block = (record::line(representativeEntry()).toUtf8() + '\n').repeated(10'000);
        for (int lines = 0; lines < kBigFileLines; lines += 10'000) {
            if (file.write(block) != block.size()) {
                *error = file.errorString();
                return {};
            }
        }
        if (!file.flush() || ::fsync(file.handle()) != 0) {
            *error = QStringLiteral("cannot sync");
            return {};
        }
        return path;
    }

    QTemporaryDir m_dir;
    QString m_big;
    QString m_count;
    int m_counter = 0;
};

void diskBound(benchmark::internal::Benchmark* bench)
{
    bench->UseRealTime()->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

// The file a run appends to: a new one for Arg 0, else the pre-filled one. Empty (and the run
// marked as failed) when it cannot be had.
QString pathFor(benchmark::State& state)
{
    PressFiles& files = PressFiles::instance();
    if (!files.isValid()) {
        state.SkipWithError("no temporary folder");
        return {};
    }
    QString error;
    const QString path = state.range(0) == 0 ? files.freshPath() : files.bigFile(&error);
    if (path.isEmpty())
        state.SkipWithError(qPrintable(QStringLiteral("cannot make the big file: ") + error));
    return path;
}

// One write and one fdatasync of a line as long as the press writes, on an already named file.
// Arg: lines in the file before the run, as for BM_Press, so a cost of the file's size shows in both.
void BM_PressBaseline(benchmark::State& state)
{
    const QString path = pathFor(state);
    if (path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray bytes = record::line(representativeEntry()).toUtf8() + '\n';

    for (auto _ : state) {
        const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return state.SkipWithError("open failed");
        const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() && ::fdatasync(fd) == 0;
        if (::close(fd) != 0 || !ok)
            return state.SkipWithError("write, sync or close failed");
    }
    state.counters["bytes"] = double(bytes.size());
}

// Arg: lines in the file before the run (0: a new file, created by the first press).
void BM_Press(benchmark::State& state)
{
    const QString path = pathFor(state);
    if (path.isEmpty())
        return;
    const record::Entry entry = representativeEntry();

    for (auto _ : state) {
        const QString error = platform::appendLineDurably(path, record::line(entry));
        if (!error.isEmpty())
            return state.SkipWithError(qPrintable(error));
    }
}

// The file to count, already in the page cache from its making: the Preferences window counts a file
// the kiosk has just been appending to. Empty (and the run marked as failed) when it cannot be had.
QString countPath(benchmark::State& state)
{
    PressFiles& files = PressFiles::instance();
    QString error = QStringLiteral("no temporary folder");
    const QString path = files.isValid() ? files.countFile(&error) : QString();
    if (path.isEmpty())
        state.SkipWithError(qPrintable(QStringLiteral("cannot make the file to count: ") + error));
    return path;
}

// The least counting can cost: read() the whole file in blocks as large as the count's, and look at none
// of it.
void BM_CountBaseline(benchmark::State& state)
{
    const QString path = countPath(state);
    if (path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(path);
    constexpr size_t kBlock = 1024 * 1024;
    const auto block = std::make_unique_for_overwrite<char[]>(kBlock);

    qint64 bytes = 0;
    for (auto _ : state) {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return state.SkipWithError("open failed");
        bytes = 0;
        ssize_t got;
        while ((got = ::read(fd, block.get(), kBlock)) > 0)
            bytes += got;
        benchmark::DoNotOptimize(block.get());
        if (::close(fd) != 0 || got < 0)
            return state.SkipWithError("read or close failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// What opening the Preferences window adds: counting the sign-ups of a million-line file.
void BM_CountLines(benchmark::State& state)
{
    const QString path = countPath(state);
    if (path.isEmpty())
        return;
    qint64 lines = 0;
    for (auto _ : state) {
        const platform::LineCount count = platform::countCompleteLines(path);
        if (count.outcome != platform::LineCount::Outcome::Counted)
            return state.SkipWithError(qPrintable(count.error));
        lines = count.lines;
    }
    state.counters["lines"] = double(lines);
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

void memoryBound(benchmark::internal::Benchmark* bench)
{
    bench->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(BM_PressBaseline)->Arg(0)->Arg(kBigFileLines)->Apply(diskBound);
BENCHMARK(BM_Press)->Arg(0)->Arg(kBigFileLines)->Apply(diskBound);
BENCHMARK(BM_CountBaseline)->Apply(memoryBound);
BENCHMARK(BM_CountLines)->Apply(memoryBound);

BENCHMARK_MAIN();
