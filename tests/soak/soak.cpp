// Soak: many sign-ups in a row through the real form, as a day at the kiosk would bring them. Each one
// types and sets the fields, presses Sign Me Up and closes the thank-you window by its OK button. At
// the end the data file must hold one line per sign-up, each read back as its entry, and the memory in
// use after the last sign-up must be within a few percent of what it was after the first hundred.
//
//   soak [sign-ups]      (10000 when not given)
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "app/App.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>

#include <malloc.h>
#include <unistd.h>

namespace {

// Memory after the first this many sign-ups is the reference: by then every cache is warm.
constexpr int kWarmUp = 100;
// How far above the reference the memory after the last sign-up may be, in percent.
constexpr double kAllowedGrowthPercent = 5.0;

struct Memory
{
    qint64 residentBytes = 0;
    qint64 heapInUseBytes = 0;
};

Memory memoryNow()
{
    Memory memory;
    std::ifstream statm("/proc/self/statm");
    qint64 size = 0;
    qint64 resident = 0;
    statm >> size >> resident;
    memory.residentBytes = resident * ::sysconf(_SC_PAGESIZE);
    const struct mallinfo2 heap = ::mallinfo2();
    memory.heapInUseBytes = qint64(heap.uordblks + heap.hblkhd); // small blocks, and the large ones mapped apart
    return memory;
}

// Presses OK in the thank-you window while it is the active modal window, for as long as it lives: a
// zero-interval timer polls between the events of the window's own loop. Anything else that comes up
// modally (a message box: the check or the save failed) is read, dismissed and kept for the caller.
class ThanksCloser final
{
public:
    ThanksCloser()
    {
        m_poll.setInterval(0);
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] { poll(); });
        m_poll.start();
    }

    int thanked() const { return m_thanked; }
    const QString& unexpected() const { return m_unexpected; }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        if (auto* thanks = qobject_cast<ThanksWindow*>(modal)) {
            if (thanks != m_lastThanks) {
                m_lastThanks = thanks;
                ++m_thanked;
                QTest::mouseClick(thanks->PushButton1, Qt::LeftButton);
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_unexpected = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    }

    QTimer m_poll;
    QPointer<ThanksWindow> m_lastThanks;
    int m_thanked = 0;
    QString m_unexpected;
};

// The visitor of the n-th sign-up: different every time, with quotes, commas and non-ASCII letters.
QString firstName(int n)
{
    return QStringLiteral("Zoë%1").arg(n);
}
QString lastName(int n)
{
    return QStringLiteral("O\"Neil, %1 中文").arg(n % 97);
}
QString email(int n)
{
    return QStringLiteral("visitor%1@example.org").arg(n);
}

void fill(Window1& form, int n)
{
    // Typed as a visitor would, through the fields' input rules.
    QTest::keyClicks(form.EmailField, email(n));
    QTest::keyClicks(form.PostCodeField, QStringLiteral("M5V 2T6"));
    form.FirstNameField->setText(firstName(n));
    form.LastNameField->setText(lastName(n));
    form.CountryField->setListIndex(1); // CANADA
    form.CityField->setText(QStringLiteral("Toronto"));
    form.CellField->setText(QStringLiteral("4165550199"));
    form.CellCarrierPopUp->setListIndex(1 + n % 30);
    form.AOLScreenNameField->setText(QStringLiteral("aim,%1").arg(n));
    form.MySpaceURLField->setText(QStringLiteral("ms%1").arg(n));
    form.YearBornPopUp->setListIndex(1 + n % 75);
    form.GenderPopUp->setListIndex(1 + n % 2);
}

// The offscreen platform says at every window that it cannot raise it; 10,000 times is noise.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "FAIL: %s\n", qUtf8Printable(why));
    std::exit(1);
}

// One line per sign-up, in order, each read back as the entry that made it.
void checkDataFile(const QString& path, int signUps)
{
    const std::optional<QList<QStringList>> records = parseCsv(QString::fromUtf8(readBytes(path)));
    if (!records)
        fail(QStringLiteral("the data file does not read as one CSV stream"));
    if (records->size() != signUps)
        fail(QStringLiteral("%1 sign-ups, %2 lines").arg(signUps).arg(records->size()));
    for (int n = 0; n < signUps; ++n) {
        const QStringList& r = records->at(n);
        if (r.size() != 15 || r[0] != firstName(n) || r[1] != lastName(n) || r[2] != email(n)
            || r[6] != QStringLiteral("CANADA") || r[13] != QStringLiteral("html") || !r[14].isEmpty())
            fail(QStringLiteral("line %1 is not sign-up %1: %2").arg(n + 1).arg(r.join(u'|')));
    }
}

double growthPercent(qint64 before, qint64 after)
{
    return before > 0 ? 100.0 * double(after - before) / double(before) : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    const int signUps = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (signUps <= kWarmUp) {
        std::fprintf(stderr, "usage: soak [sign-ups, more than %d]\n", kWarmUp);
        return 2;
    }
    TestEnvironment env;
    qInstallMessageHandler(quietOffscreen);
    QApplication application(argc, argv);
    App app;
    Window1& form = static_cast<Window1&>(*app.start([] { return &platform::ImplicitInstance<Window1>::create(); }));

    Memory warm;
    int done = 0;
    // Each sign-up starts from the kiosk's own event loop, as a visitor's press does.
    QTimer driver;
    driver.setInterval(0);
    QObject::connect(&driver, &QTimer::timeout, &driver, [&] {
        fill(form, done);
        {
            ThanksCloser closer;
            QTest::mouseClick(form.SaveButton, Qt::LeftButton);
            if (!closer.unexpected().isEmpty())
                fail(QStringLiteral("sign-up %1: %2").arg(done + 1).arg(closer.unexpected()));
            if (closer.thanked() != 1)
                fail(QStringLiteral("sign-up %1: thanked %2 times").arg(done + 1).arg(closer.thanked()));
        }
        if (!form.EmailField->Text().isEmpty())
            fail(QStringLiteral("sign-up %1: the form was not cleared").arg(done + 1));
        ++done;
        if (done == kWarmUp)
            warm = memoryNow();
        if (done == signUps) {
            driver.stop();
            QCoreApplication::exit(0);
        }
    });
    driver.start();
    QApplication::exec();
    const Memory last = memoryNow();

    checkDataFile(env.dataFile(), signUps);
    const double residentGrowth = growthPercent(warm.residentBytes, last.residentBytes);
    const double heapGrowth = growthPercent(warm.heapInUseBytes, last.heapInUseBytes);
    std::printf("soak: %d sign-ups, %d lines read back\n", signUps, signUps);
    std::printf("resident memory after %d: %.1f MiB, after %d: %.1f MiB (%+.1f %%)\n", kWarmUp,
                double(warm.residentBytes) / 1048576.0, signUps, double(last.residentBytes) / 1048576.0,
                residentGrowth);
    std::printf("heap in use after %d: %.2f MiB, after %d: %.2f MiB (%+.1f %%)\n", kWarmUp,
                double(warm.heapInUseBytes) / 1048576.0, signUps, double(last.heapInUseBytes) / 1048576.0, heapGrowth);
    if (residentGrowth > kAllowedGrowthPercent || heapGrowth > kAllowedGrowthPercent)
        fail(QStringLiteral("memory grew by more than %1 %").arg(kAllowedGrowthPercent));
    return 0;
}
