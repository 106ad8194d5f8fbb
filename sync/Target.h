#pragma once

#include <QString>

// The database a kiosk sends its sign-ups to, as --sync-to names it.
namespace dbsync {

struct Target
{
    QString error;   // why the kiosk must not start with it; empty when it may
    QString host;    // the server as people call it: "db.example.org", "localhost" for a local socket
    QString account; // "kiosk@db.example.org"
};

// Reads a libpq connection string or URI as libpq will, with the service file and the PG environment
// variables filling in what it leaves out, and applies the rule for personal data: a server on another
// machine only with sslmode=verify-full. Connects to nothing and looks up no host name.
Target checkTarget(const QString& conninfo);

} // namespace dbsync
