#include "platform/TouchScreen.h"

#include "platform/Controls.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QApplication>
#include <QPointer>
#include <QScroller>

namespace platform {

namespace {

// The style's own rows, drawn as the style draws them, only taller.
class TallRows final : public QAbstractItemDelegate
{
public:
    TallRows(QAbstractItemDelegate* styled, QObject* parent)
        : QAbstractItemDelegate(parent)
        , m_styled(styled)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_styled)
            m_styled->paint(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QSize styled = m_styled ? m_styled->sizeHint(option, index) : QSize();
        return {styled.width(), std::max(styled.height(), kTouchRowHeight)};
    }

private:
    QPointer<QAbstractItemDelegate> m_styled;
};

void adaptList(PopupMenu* menu)
{
    QAbstractItemView* view = menu->view();
    menu->setItemDelegate(new TallRows(view->itemDelegate(), menu));
    // A flick moves the list by as much as the finger went, not row by row.
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(view->viewport(), QScroller::LeftMouseButtonGesture);
}

// Touches reach widgets as the mouse presses Qt makes of them, so a drag in a list would choose rows
// instead of scrolling it.
class TouchLists final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish) {
            auto* menu = qobject_cast<PopupMenu*>(watched);
            if (menu && !menu->property(kAdapted).toBool()) {
                menu->setProperty(kAdapted, true);
                adaptList(menu);
            }
        }
        return false;
    }

private:
    static constexpr const char* kAdapted = "adaptedToTouch";
};

} // namespace

void adaptToTouchScreen()
{
    // A pointer in the middle of the form would only confuse a visitor who touches.
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    qApp->installEventFilter(new TouchLists(qApp));
}

} // namespace platform
