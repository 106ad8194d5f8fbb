#include "form/Window1.h"

QString Window1::ValidateEmail(const QString&) { return {}; }
