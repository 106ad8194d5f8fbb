#include "sync/Target.h"

#include <QHash>
#include <QStringList>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace dbsync {
namespace {

using Options = QHash<QString, QString>;

Options optionsOf(PQconninfoOption* options)
{
    Options found;
    for (PQconninfoOption* option = options; option != nullptr && option->keyword != nullptr; ++option) {
        if (option->val != nullptr && option->val[0] != '\0')
            found.insert(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
    }
    PQconninfoFree(options);
    return found;
}

// What libpq fills in for what the string leaves out. PQconndefaults reads the service named by
// PGSERVICE, so a service= in the string is put there for the call. Called at start only, before any
// thread exists.
Options defaultsFor(const QString& service)
{
    const QByteArray saved = qgetenv("PGSERVICE");
    const bool hadService = qEnvironmentVariableIsSet("PGSERVICE");
    if (!service.isEmpty())
        qputenv("PGSERVICE", service.toUtf8());
    Options defaults = optionsOf(PQconndefaults());
    if (hadService)
        qputenv("PGSERVICE", saved);
    else
        qunsetenv("PGSERVICE");
    return defaults;
}

// On this machine: a Unix socket (an absolute path, or an abstract one), or a loopback name or address.
bool isLocal(const QString& host)
{
    if (host.isEmpty() || host.startsWith(u'/') || host.startsWith(u'@') || host == QStringLiteral("localhost"))
        return true;
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    return inet_pton(AF_INET6, text.constData(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

} // namespace

Target checkTarget(const QString& conninfo)
{
    Target target;
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (parsed == nullptr) {
        target.error = QStringLiteral("--sync-to: %1")
                           .arg(error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory"));
        PQfreemem(error);
        return target;
    }
    const Options given = optionsOf(parsed);
    if (given.contains(QStringLiteral("password"))) {
        target.error = QStringLiteral("--sync-to holds a password, which anyone on this machine can read from "
                                      "the command line; put it in ~/.pgpass (mode 0600) instead.");
        return target;
    }
    Options options = defaultsFor(given.value(QStringLiteral("service")));
    for (auto it = given.cbegin(); it != given.cend(); ++it)
        options.insert(it.key(), it.value());

    // libpq takes a list of hosts (and of addresses, which it uses instead of looking the names up).
    const QStringList hosts = options.value(QStringLiteral("host")).split(u',');
    const QStringList addresses = options.value(QStringLiteral("hostaddr")).split(u',', Qt::SkipEmptyParts);
    bool remote = false;
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        const QString through = i < addresses.size() ? addresses[i] : hosts[i];
        remote = remote || !isLocal(through.trimmed());
    }
    target.host = hosts.constFirst().isEmpty() || hosts.constFirst().startsWith(u'/') ? QStringLiteral("localhost")
                                                                                      : hosts.constFirst();
    const QString user = options.value(QStringLiteral("user"), qEnvironmentVariable("USER"));
    target.account = user + u'@' + target.host;

    const QString sslmode = options.value(QStringLiteral("sslmode"), QStringLiteral("prefer"));
    if (remote && sslmode != QStringLiteral("verify-full"))
        target.error = QStringLiteral("--sync-to: the sign-ups are personal data, so a server on another machine "
                                      "(%1) is reached only with TLS that checks the server: add "
                                      "sslmode=verify-full (and sslrootcert=FILE with the certificate of the "
                                      "authority that signed the server's), not sslmode=%2.")
                           .arg(target.host, sslmode);
    return target;
}

} // namespace dbsync
