#pragma once

#include "sync/Engine.h"

#include <QString>

namespace dbsync {

// What the sync tells the operator, after the count of sign-ups in Preferences:
// "1,230 sent to db.example.org", "4 waiting: cannot reach db.example.org since 14:02 (reason)",
// "sync refused: wrong password for kiosk@db.example.org", and the lines set aside.
QString staffLine(const Status& status);

} // namespace dbsync
