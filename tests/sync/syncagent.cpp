// The sync engine alone, as the kiosk runs it, for the fault matrix and the fleet benchmark: it sends
// until it is killed or its standard input closes, and prints its status after each change.
//
//   syncagent DATAFILE STATEFILE CONNINFO KIOSKNAME [TIMEOUT_MS]
#include "sync/Engine.h"
#include "sync/Target.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 5) {
        std::fprintf(stderr, "usage: syncagent DATAFILE STATEFILE CONNINFO KIOSKNAME [TIMEOUT_MS]\n");
        return 2;
    }
    const dbsync::Target target = dbsync::checkTarget(arguments[3]);
    if (!target.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(target.error));
        return 2;
    }
    dbsync::Settings settings;
    settings.dataFile = arguments[1];
    settings.stateFile = arguments[2];
    settings.conninfo = arguments[3];
    settings.kioskName = arguments[4];
    settings.version = QStringLiteral("test");
    if (arguments.size() > 5)
        settings.timeout = std::chrono::milliseconds(arguments[5].toLongLong());
    // Short pauses: the faults come and go quickly here.
    settings.firstRetry = std::chrono::milliseconds(50);
    settings.lastRetry = std::chrono::milliseconds(500);

    dbsync::Engine engine(settings, target.host, target.account);
    QObject::connect(&engine, &dbsync::Engine::statusChanged, &engine, [&engine] {
        const dbsync::Status status = engine.status();
        std::printf("%d %lld %lld %s\n", int(status.state), status.lines, status.sent, qUtf8Printable(status.reason));
        std::fflush(stdout);
    });
    // The parent ends a run by closing our standard input (or by SIGKILL).
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    engine.start();
    return application.exec();
}
