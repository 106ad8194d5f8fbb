#include "platform/Dismiss.h"

#include "platform/MsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace platform {

void closePopups()
{
    // Bounded: a pop-up that will not close must not keep the caller here.
    for (int i = 0; i < 16; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup)
            break;
        popup->close();
    }
}

void dismissMsgBoxes(QObject* context, std::function<void()> then)
{
    QList<QPointer<QMessageBox>> boxes;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box && box->isVisible() && box->objectName() == kMsgBoxName)
            boxes << box;
    }
    if (boxes.isEmpty()) {
        then();
        return;
    }

    // MsgBox's box lives on its caller's stack: when it goes, MsgBox has returned and its caller goes
    // on. The last one to go posts `then`, which the event loop delivers once that caller is done.
    const auto waiting = std::make_shared<qsizetype>(boxes.size());
    const QPointer<QObject> guard(context);
    for (const QPointer<QMessageBox>& box : std::as_const(boxes)) {
        QObject::connect(box, &QObject::destroyed, [waiting, guard, then] {
            if (--*waiting == 0 && guard)
                QTimer::singleShot(0, guard, then);
        });
    }
    for (const QPointer<QMessageBox>& box : std::as_const(boxes)) {
        if (!box)
            continue;
        // A box of choices closes as its Escape would: none of them chosen.
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else if (QAbstractButton* none = box->escapeButton())
            none->click();
        else
            box->done(QMessageBox::Ok);
    }
}

} // namespace platform
