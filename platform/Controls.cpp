#include "platform/Controls.h"

#include "platform/Window.h"

#include <QPainter>
#include <QScopedValueRollback>

namespace platform {

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
    const QScopedValueRollback fromCode(m_settingFromCode, true);
    clear();
    addItems(rows);
}

void PopupMenu::setListIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    {
        const QScopedValueRollback fromCode(m_settingFromCode, true);
        setCurrentIndex(index);
    }
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
    , m_clock(new QTimer(this))
{
    connect(m_clock, &QTimer::timeout, this, &Timer::Action);
    for (QObject* owner = parent; owner; owner = owner->parent()) {
        if (auto* window = qobject_cast<Window*>(owner)) {
            connect(window, &Window::closed, this, &Timer::stop);
            break;
        }
    }
}

void Timer::setPeriod(int milliseconds)
{
    m_clock->setInterval(milliseconds);
    if (m_clock->isActive())
        m_clock->start();
}

void Timer::setMode(int mode)
{
    m_mode = mode;
    if (mode == 0) {
        m_clock->stop();
        return;
    }
    m_clock->setSingleShot(mode == 1);
    m_clock->start();
}

} // namespace platform
