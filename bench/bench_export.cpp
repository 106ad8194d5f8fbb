// Cost of exporting a data file of 1,000,000 sign-ups, every one made under a notice (so each line is
// also looked up in the evidence and its digest checked), beside the least the same bytes cost: a bare
// read of the data file and a write of as many bytes, synced as the export's file is.
//
// Files live in a QTemporaryDir under $TMPDIR (else /tmp). Each run is one export; medians of five:
//   ./build-bench/bench/bench_export --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true

#include "bench/SampleEntry.h"
#include "core/Consent.h"
#include "core/Export.h"
#include "core/Lists.h"
#include "core/SignUpRecord.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kLines = 1'000'000;

// Varied as a fleet's files are: several countries, half of the visitors with a cell number (10,000
// different ones per country; the export remembers nothing from one line to the next), names of
// several lengths. Or with no cell numbers at all: what the rest of the export costs.
record::Entry entry(int i, bool withCell)
{
    static const char* const countries[] = {"UNITED STATES", "CANADA", "UNITED KINGDOM", "GERMANY", "AUSTRALIA"};
    static const char* const cells[] = {"202555%04d", "416555%04d", "07700%06d", "15123%06d", "412%06d"};
    const int c = i % 5;
    record::Entry e = representativeEntry();
    e.firstName = QStringLiteral("Alexandra%1").arg(i % 97);
    e.email = QStringLiteral("fan%1@example.org").arg(i);
    e.country = QString::fromLatin1(countries[c]);
    e.cell = withCell && i % 2 == 0 ? QString::asprintf(cells[c], i % 10000) : QString();
    return e;
}

struct Files
{
    QTemporaryDir dir;
    QString data;
    QString error;

    explicit Files(bool cells)
    {
        data = dir.filePath(QStringLiteral("quillmore.csv"));
        QByteArray lines;
        QByteArray evidence;
        const QByteArray notice(64, 'a');
        const QDateTime when = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < kLines; ++i) {
            const QByteArray line = record::line(entry(i, cells)).toUtf8();
            evidence += consent::evidenceLine(lines.size(), when, notice, consent::lineDigest(line)) + '\n';
            lines += line + '\n';
        }
        QFile file(data);
        QFile consentFile(consent::evidenceFilePath(data));
        if (!file.open(QIODevice::WriteOnly) || file.write(lines) != lines.size() || !file.flush()
            || !consentFile.open(QIODevice::WriteOnly) || consentFile.write(evidence) != evidence.size())
            error = QStringLiteral("could not write the files");
    }
};

Files& files(bool cells = true)
{
    if (cells) {
        static Files withCells(true);
        return withCells;
    }
    static Files without(false);
    return without;
}

void BM_Export(benchmark::State& state)
{
    Files& f = files(state.range(0) != 0);
    if (!f.error.isEmpty())
        return state.SkipWithError(qPrintable(f.error));
    std::FILE* quiet = std::fopen("/dev/null", "w");
    const exporting::Options options{f.data, f.dir.filePath(QStringLiteral("export.csv")), false};
    for (auto _ : state) {
        if (exporting::exportSignUps(options, quiet) != 0)
            state.SkipWithError("the export failed");
    }
    std::fclose(quiet);
}

void BM_ExportBaseline(benchmark::State& state)
{
    Files& f = files();
    if (!f.error.isEmpty())
        return state.SkipWithError(qPrintable(f.error));
    const QByteArray out = QFile::encodeName(f.dir.filePath(QStringLiteral("baseline.csv")));
    constexpr size_t kBlock = 4 * 1024 * 1024;
    const auto block = std::make_unique_for_overwrite<char[]>(kBlock);
    for (auto _ : state) {
        const int in = ::open(QFile::encodeName(f.data).constData(), O_RDONLY | O_CLOEXEC);
        const int to = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ssize_t got;
        while ((got = ::read(in, block.get(), kBlock)) > 0) {
            if (::write(to, block.get(), size_t(got)) != got)
                state.SkipWithError("write failed");
        }
        ::fdatasync(to);
        ::close(to);
        ::close(in);
    }
}

} // namespace

// Arg: 1 with cell numbers, 0 without.
BENCHMARK(BM_Export)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportBaseline)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
