#include "sync/StaffLine.h"

#include <QLocale>

namespace dbsync {
namespace {

QString number(qint64 n)
{
    // "1,234" whatever the desktop's language, as the count beside it.
    QLocale numbers = QLocale::c();
    numbers.setNumberOptions({});
    return numbers.toString(n);
}

// The operator's words for what only the operator can mend.
QString refusal(const QString& reason)
{
    if (reason.contains(QLatin1String("password")))
        return QStringLiteral("wrong password");
    // This machine's own file, not the server's fault: libpq names it in quotes.
    if (reason.contains(QLatin1String("root certificate file"))) {
        const QString file = reason.section(u'"', 1, 1);
        return QStringLiteral("cannot read the sslrootcert file %1").arg(file.isEmpty() ? reason : file);
    }
    if (reason.contains(QLatin1String("certificate")))
        return QStringLiteral("the server's certificate does not check out");
    return reason;
}

} // namespace

QString staffLine(const Status& status)
{
    QString line;
    switch (status.state) {
    case Status::State::Starting:
        line = QStringLiteral("sending to %1").arg(status.host);
        break;
    case Status::State::Sent:
        line = QStringLiteral("%1 sent to %2").arg(number(status.sent), status.host);
        if (status.waiting() > 0)
            line += QStringLiteral(", %1 waiting").arg(number(status.waiting()));
        break;
    case Status::State::Waiting: {
        // With nothing waiting the server is only missed for the next sign-up: say so, not "0 waiting".
        const QString count = status.waiting() > 0 ? QStringLiteral("%1 waiting").arg(number(status.waiting()))
                                                   : QStringLiteral("%1 sent").arg(number(status.sent));
        line = QStringLiteral("%1: cannot reach %2 since %3 (%4)")
                   .arg(count, status.host, status.failingSince.toString(QStringLiteral("HH:mm")), status.reason);
        break;
    }
    case Status::State::Refused:
        line = QStringLiteral("sync refused: %1 for %2").arg(refusal(status.reason), status.account);
        break;
    }
    if (status.asideLines > 0)
        line += QStringLiteral("; %1 not a sign-up, sent as written (line %2)")
                    .arg(status.asideLines == 1 ? QStringLiteral("1 line")
                                                : QStringLiteral("%1 lines").arg(number(status.asideLines)),
                         number(status.lastAsideLine));
    return line;
}

} // namespace dbsync
