#include "platform/Fonts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHash>
#include <QWidget>

namespace platform {

namespace {

constexpr int kSmallestTextBox = 12;
constexpr int kLargestDefaultSize = 13;
// Where a control keeps its text font and size: properties of the widget, so any kind of control has them.
constexpr const char* kTextFont = "TextFont";
constexpr const char* kTextSize = "TextSize";

QString familyName(FontFamily family)
{
    return family == FontFamily::Verdana ? QStringLiteral("Verdana") : QApplication::font().family();
}

int defaultTextSize(FontFamily family)
{
    static QHash<int, int> sizes;
    const auto found = sizes.constFind(int(family));
    if (found != sizes.constEnd())
        return *found;
    int size = kLargestDefaultSize;
    for (; size > 8; --size) {
        QFont font(familyName(family));
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= kSmallestTextBox)
            break;
    }
    sizes.insert(int(family), size);
    return size;
}

QFont designFont(FontFamily family, int size)
{
    QFont font(familyName(family));
    font.setPixelSize(size > 0 ? size : defaultTextSize(family));
    return font;
}

} // namespace

FontFamily textFont(const QWidget* control)
{
    return FontFamily(control->property(kTextFont).toInt());
}

int textSize(const QWidget* control)
{
    return control->property(kTextSize).toInt();
}

void setTextFont(QWidget* control, FontFamily family)
{
    control->setProperty(kTextFont, int(family));
    control->setFont(designFont(family, textSize(control)));
}

void setTextSize(QWidget* control, int size)
{
    control->setProperty(kTextSize, size);
    control->setFont(designFont(textFont(control), size));
}

} // namespace platform
