// Cost of one press of Sign Me Up once the checks have passed: build the line, append it durably.
// Beside it, the least a durable append of the same bytes can cost, so the two are compared in one run.
//
// Files live in a QTemporaryDir under $TMPDIR (else /tmp): point it at the disk the kiosk writes to.

#include "form/SignUpRecord.h"
#include "platform/Files.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBigFileLines = 1'000'000;

record::Entry representativeEntry()
{
    record::Entry e;
    e.firstName = QStringLiteral("Alexandra");
    e.lastName = QStringLiteral("Montgomery-Whitfield");
    e.email = QStringLiteral("alexandra.montgomery@example.org");
    e.postCode = QStringLiteral("M5V 2T6");
    e.city = QStringLiteral("Toronto");
    e.country = QStringLiteral("CANADA");
    e.cell = QStringLiteral("4165550199");
    e.carrier = QStringLiteral("Rogers AT&T (Canada)");
    e.aolScreenName = QStringLiteral("alexm");
    e.mySpaceUserName = QStringLiteral("alexandram");
    e.yearBornRow = 10, e.yearBorn = QStringLiteral("1985");
    e.genderRow = 2, e.gender = QStringLiteral("Female");
    return e;
}

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
        if (!m_big.isEmpty())
            return m_big;
        const QString path = m_dir.filePath(QStringLiteral("press-big.csv"));
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
        return m_big = path;
    }

private:
    PressFiles() = default;

    QTemporaryDir m_dir;
    QString m_big;
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

} // namespace

BENCHMARK(BM_PressBaseline)->Arg(0)->Arg(kBigFileLines)->Apply(diskBound);
BENCHMARK(BM_Press)->Arg(0)->Arg(kBigFileLines)->Apply(diskBound);

BENCHMARK_MAIN();
