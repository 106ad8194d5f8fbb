#include "platform/Resources.h"

#include <QHash>

namespace platform {

const QPixmap& pictureResource(int number)
{
    static QHash<int, QPixmap> pictures;
    auto found = pictures.find(number);
    if (found == pictures.end())
        found = pictures.insert(number, QPixmap(QStringLiteral(":/pictures/%1.png").arg(number)));
    return *found;
}

} // namespace platform
