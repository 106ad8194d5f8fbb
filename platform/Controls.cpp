#include "platform/Controls.h"

#include "platform/Window.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>

namespace platform {

namespace {

constexpr int kSmallestTextBox = 12;
constexpr int kLargestDefaultSize = 13;

QString familyName(FontFamily family)
{
    return family == FontFamily::Verdana ? QStringLiteral("Verdana") : QApplication::font().family();
}

// The widget whose coordinates are window content coordinates: the content area of the window.
const QWidget* contentOf(const QWidget* widget)
{
    for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (const auto* window = qobject_cast<const Window*>(w))
            return window->content();
    }
    return nullptr;
}

QPoint parentOrigin(const QWidget* widget)
{
    const QWidget* content = contentOf(widget);
    const QWidget* parent = widget->parentWidget();
    if (!content || !parent || parent == content)
        return {};
    return parent->mapTo(content, QPoint(0, 0));
}

} // namespace

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

QRect geometryInWindow(const QWidget* widget)
{
    return widget->geometry().translated(parentOrigin(widget));
}

void setGeometryInWindow(QWidget* widget, const QRect& rect)
{
    widget->setGeometry(rect.translated(-parentOrigin(widget)));
}

StaticText::StaticText(QWidget* parent)
    : Control<QLabel>(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

PushButton::PushButton(QWidget* parent)
    : Control<QPushButton>(parent)
{
    // Return presses the window's default button whichever control has the focus, as in a dialog.
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &PushButton::Action);
}

CheckBox::CheckBox(QWidget* parent)
    : Control<QCheckBox>(parent)
{
}

GroupBox::GroupBox(QWidget* parent)
    : Control<QGroupBox>(parent)
{
}

PopupMenu::PopupMenu(QWidget* parent)
    : Control<QComboBox>(parent)
{
    setMaxVisibleItems(20);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_settingFromCode)
            Q_EMIT Change();
    });
}

void PopupMenu::setRows(const QStringList& rows)
{
    m_settingFromCode = true;
    clear();
    addItems(rows);
    m_settingFromCode = false;
}

void PopupMenu::setListIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    m_settingFromCode = true;
    setCurrentIndex(index);
    m_settingFromCode = false;
    Q_EMIT Change();
}

Canvas::Canvas(QWidget* parent)
    : Control<QWidget>(parent)
{
}

void Canvas::setBackdrop(const QPixmap& picture)
{
    m_backdrop = picture;
    update();
}

void Canvas::paintEvent(QPaintEvent*)
{
    if (m_backdrop.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_backdrop);
}

Timer::Timer(QObject* parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &Timer::Action);
    for (QObject* owner = parent; owner; owner = owner->parent()) {
        if (auto* window = qobject_cast<Window*>(owner)) {
            connect(window, &Window::closed, this, &Timer::stop);
            break;
        }
    }
}

void Timer::setPeriod(int milliseconds)
{
    m_timer.setInterval(milliseconds);
    if (m_timer.isActive())
        m_timer.start();
}

void Timer::setMode(int mode)
{
    m_mode = mode;
    if (mode == 0) {
        m_timer.stop();
        return;
    }
    m_timer.setSingleShot(mode == 1);
    m_timer.start();
}

const QPixmap& pictureResource(int number)
{
    static QHash<int, QPixmap> pictures;
    auto found = pictures.find(number);
    if (found == pictures.end())
        found = pictures.insert(number, QPixmap(QStringLiteral(":/pictures/%1.png").arg(number)));
    return *found;
}

} // namespace platform
