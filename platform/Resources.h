#pragma once

#include <QPixmap>

namespace platform {

// A picture among the application's resources, loaded on first use and kept for the life of the program.
const QPixmap& pictureResource(int number);

} // namespace platform
